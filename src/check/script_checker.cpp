#include "check/script_checker.h"

#include "batch/windows_variables.h"
#include "check/text_scan.h"

#include <algorithm>
#include <string>

script_checker::script_checker(finding_sink report)
    : report_(std::move(report)),
      command_found_([this](std::size_t at, message_id message, std::string_view subject) {
          found_at(at, message, subject);
      }),
      text_found_([this](std::size_t at, message_id message, std::string_view subject) {
          found_at(text_offset_ + at, message, subject);
      }),
      read_([this](std::string_view name) { read_variable(name); }),
      visit_([this](const command &k) {
          reading_line_ = first_line_ + line_at(k.at);
          // The first command to start is the first handed over.
          if (k.kind != command_kind::comment && first_command_line_ == 0)
              first_command_line_ = reading_line_;
          check_command(text_, k, command_found_, read_, effects_);
      }) {}

void script_checker::check_line(std::string_view line) {
    if (++lines_ == 1 && line.substr(0, 3) == byte_order_mark) {
        byte_order_mark_ = true;
        line.remove_prefix(3); // cmd reads it as text of the first command; see the bom rule
    }
    if (logical_.add(line)) check_logical_line(false);
}

std::size_t script_checker::line_at(std::size_t at) const {
    if (starts_->size() == 1) return 0;
    return std::size_t(std::upper_bound(starts_->begin(), starts_->end(), at) - starts_->begin()) -
           1;
}

finding script_checker::place(std::size_t at, message_id message, std::uint64_t other_line) const {
    const std::size_t k = line_at(at);
    const std::size_t shift = first_line_ + k == 1 && byte_order_mark_ ? 3 : 0;
    return {first_line_ + k, at - (*starts_)[k] + shift + 1, message, {}, other_line};
}

void script_checker::found_at(std::size_t at, message_id message, std::string_view subject) {
    found_.push_back(place(at, message, 0));
    found_.back().subject.assign(subject);
}

namespace {

// A name as scripts write them, and not a stretch of text between two % that only reads as one.
bool plain_name(std::string_view name) {
    return std::all_of(name.begin(), name.end(), [](char c) {
        return is_letter(c) || is_digit(c) || std::string_view("_-.$#@(){}[]").find(c) != nowhere;
    });
}

} // namespace

void script_checker::read_variable(std::string_view name) {
    // `name` lies in the line's text, after the % (or !) that opens its form.
    const std::size_t at = std::size_t(name.data() - text_.data()) - 1;
    const bool look_up = !any_set_ && text_[at] == '%';
    variables::name_state *state = variables_.read(name, reading_line_, decided_, look_up);
    if (!state || state->set) return;
    // A name told unset once was asked this already.
    if (!state->told_unset && (!plain_name(name) || always_set(name) || dynamic_variable(name))) {
        state->set = true; // as good as set: the next read need not ask again
        return;
    }
    const std::vector<std::size_t> &tests = effects_.empty_tests;
    if (std::find(tests.begin(), tests.end(), at) != tests.end()) {
        found_at(at, message_id::unset_tested, name);
    } else if (!state->told_unset) { // a note once a name is enough
        state->told_unset = true;
        found_at(at, message_id::unset_read, name);
    }
}

// What the line set by set /a is known to the lines after it; the rest, through its sets.
void script_checker::learn_sets() {
    for (const std::string_view name : effects_.computed)
        variables_.learn(name);
    effects_.computed.clear();
    any_set_ = any_set_ || effects_.any_set;
    effects_.any_set = false;
    effects_.empty_tests.clear();
}

// A batch file goes on after a goto that always runs only at a label.
void script_checker::follow_goto(const line_shape &shape) {
    if (goto_line_ && (shape.label_at != nowhere || after_blanks(text_).substr(0, 1) == ":"))
        end_skipped();
    if (goto_line_ && shape.has_command) {
        if (!skipped_first_) skipped_first_ = first_line_;
        skipped_last_ = lines_;
    }
    if (!goto_line_ && effects_.goto_at != nowhere)
        goto_line_ = first_line_ + line_at(effects_.goto_at);
    effects_.goto_at = nowhere;
}

void script_checker::end_skipped() {
    if (skipped_first_) {
        decided_.push_back({skipped_first_, 1, message_id::skipped,
                            lines_named(skipped_first_, skipped_last_), goto_line_});
    }
    goto_line_ = skipped_first_ = skipped_last_ = 0;
}

// A directive silences its rules on the next line, or before the first command everywhere.
void script_checker::read_directives(bool has_command) {
    // Most lines start with a command's name, and are no directive.
    const bool plain =
        !text_.empty() && is_letter(text_.front()) && small_letter(text_.front()) != 'r';
    if (plain && command_seen_ && silence_next_.empty()) return;
    const directive d = plain ? directive{} : read_directive(text_);
    if (!d.found) {
        for (const std::string &rule : silence_next_)
            for (std::uint64_t line = first_line_; line <= lines_; ++line)
                silencing_.silence_line(line, rule);
        silence_next_.clear();
        // Most scripts start with @echo off, which directives for the whole script may follow.
        if (!command_seen_ && has_command) {
            const std::string_view words = before_blanks(after_blanks(text_));
            command_seen_ = !same_any_case(words, "@echo off") && !same_any_case(words, "echo off");
        }
        return;
    }
    for (const auto &[at, rule] : d.rules) {
        if (!known_rule(rule))
            found_at(at, message_id::unknown_rule, rule);
        else if (command_seen_)
            silence_next_.emplace_back(rule);
        else
            silencing_.silence_everywhere(rule);
    }
}

void script_checker::deliver(const finding &f) {
    if (!silencing_.silenced(f)) report_(f);
}

void script_checker::check_logical_line(bool dangling) {
    text_ = logical_.text();
    starts_ = &logical_.starts();
    const std::vector<std::size_t> &starts = *starts_;
    first_line_ = lines_ - starts.size() + 1;
    lines_of_.clear();
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::size_t end = k + 1 < starts.size() ? starts[k + 1] - 1 : text_.size();
        lines_of_.push_back(text_.substr(starts[k], end - starts[k]));
    }

    first_command_line_ = 0;
    const line_shape shape = lexer_.lex(text_, visit_);
    // An exit, or a batch file started without call, waits for the next line with a command.
    for (std::optional<finding> *ending : {&exit_, &batch_}) {
        if (*ending && shape.has_command) {
            (*ending)->other_line = first_command_line_;
            decided_.push_back(*std::exchange(*ending, std::nullopt));
        }
    }
    if (effects_.exit_at != nowhere && !exit_) exit_ = place(effects_.exit_at, message_id::exit, 0);
    if (effects_.batch_at != nowhere && !batch_) {
        batch_ = place(effects_.batch_at, message_id::batch_without_call, 0);
        batch_->subject.assign(effects_.batch_name);
    }
    effects_.exit_at = effects_.batch_at = nowhere;
    follow_goto(shape);
    read_directives(shape.has_command);

    // Each line's bytes and % forms, outside the comment.
    for (std::size_t k = 0; k < lines_of_.size(); ++k) {
        const std::string_view line = lines_of_[k];
        const std::size_t from = starts[k];
        const std::size_t comment =
            shape.comment_at == nowhere || shape.comment_at >= from + line.size() ? line.size()
            : shape.comment_at > from ? shape.comment_at - from
                                      : 0;
        const std::string_view code = line.substr(0, comment);
        const std::uint64_t number = first_line_ + k;
        if (number == 1 && byte_order_mark_) {
            std::string whole(byte_order_mark);
            whole.append(line);
            bytes_.check(number, whole, 3, code, found_, decided_);
        } else {
            bytes_.check(number, line, 0, code, found_, decided_);
        }
        text_offset_ = from;
        reading_line_ = number;
        scan_text(code, shape.in_loop, text_found_, read_);
    }
    if (shape.label_at != nowhere)
        found_.push_back(place(shape.label_at, message_id::label_line, 0));
    blocks_.check(
        text_, lines_of_, first_line_, shape, dangling,
        [this](std::size_t at, message_id message, std::uint64_t other) {
            return place(at, message, other);
        },
        found_);

    std::stable_sort(found_.begin(), found_.end(), [](const finding &a, const finding &b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    // The line cannot see the status of the one before: once is enough.
    bool errorlevel_seen = false;
    for (const finding &f : found_) {
        if (f.message == message_id::errorlevel && std::exchange(errorlevel_seen, true)) continue;
        deliver(f);
    }
    found_.clear();
    for (const command_effects::set &set : effects_.sets) {
        // One with commands after it on its line waits only for a later line that reads it.
        sets_.push_back(place(
            set.at, set.followed ? message_id::variable_used : message_id::variable_unused, 0));
        sets_.back().subject.assign(set.name);
    }
    learn_sets();
    effects_.sets.clear();
    variables_.set(sets_, decided_);
    report_decided();
}

void script_checker::report_decided() {
    std::sort(decided_.begin(), decided_.end(), [](const finding &a, const finding &b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    for (const finding &f : decided_)
        deliver(f);
    decided_.clear();
}

void script_checker::finish() {
    if (logical_.finish()) check_logical_line(true);
    end_skipped();
    // An end line, an exit or an end-of-file mark with nothing after it does what it says.
    variables_.finish(decided_);
    report_decided();
}
