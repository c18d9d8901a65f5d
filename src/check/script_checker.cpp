#include "check/script_checker.h"

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
      read_([this](std::string_view name) { variables_.read(name, reading_line_, decided_); }),
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
    if (exit_ && shape.has_command) {
        exit_->other_line = first_command_line_;
        decided_.push_back(*std::exchange(exit_, std::nullopt));
    }
    if (effects_.exit_at != nowhere && !exit_) exit_ = place(effects_.exit_at, message_id::exit, 0);
    effects_.exit_at = nowhere;

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
        report_(f);
    }
    found_.clear();
    for (const auto &[at, name] : effects_.sets) {
        sets_.push_back(place(at, message_id::variable_unused, 0));
        sets_.back().subject.assign(name);
    }
    effects_.sets.clear();
    variables_.set(sets_, decided_);
    report_decided();
}

void script_checker::report_decided() {
    std::sort(decided_.begin(), decided_.end(), [](const finding &a, const finding &b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    for (const finding &f : decided_)
        report_(f);
    decided_.clear();
}

void script_checker::finish() {
    if (logical_.finish()) check_logical_line(true);
    // An end line, an exit or an end-of-file mark with nothing after it does what it says.
    variables_.finish(decided_);
    report_decided();
}
