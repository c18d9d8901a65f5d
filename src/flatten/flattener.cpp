#include "flatten/flattener.h"

#include "batch/commands.h"
#include "batch/cursor.h"
#include "batch/text.h"
#include "check/script_checker.h"
#include "check/text_scan.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::size_t longest_command = 8191; // what cmd.exe runs

// What a statement leaves for the lines after it, once it has run.
struct effect {
    enum { set, folder, setlocal, endlocal, echo_off, shift } kind;
    std::string name;
    std::optional<flat_text> value; // set: nullopt removes; folder: the command to run again
    bool delayed = false;           // setlocal: delayed expansion on after it
    bool delayed_given = false;     // setlocal: with enable- or disabledelayedexpansion
};

std::string_view trimmed(std::string_view text) {
    return before_blanks(after_blanks(text));
}

// The last byte of a line that is no blank, as the cursor finds it (0 where it is plain), and
// whether a quote is left open there.
char last_special(std::string_view text, bool &open_quote) {
    cursor c(text, 0, true);
    char last = 0;
    for (; !c.at_end(); c.next())
        if (!is_blank(text[c.at()])) last = c.special();
    open_quote = c.quoted();
    return last;
}

// How a line of a block ends: in an open quote, or in & or | that wants a command after it.
bool ends_open(std::string_view text) {
    bool open_quote = false;
    const char last = last_special(text, open_quote);
    return open_quote || last == '&' || last == '|';
}

bool ends_with_open(std::string_view text) {
    bool open_quote = false;
    return last_special(text, open_quote) == '(';
}

// Whether the first byte that is no blank opens the line with a ), meaning what it says.
bool starts_with_close(std::string_view text) {
    cursor c(text, 0, true);
    while (!c.at_end() && is_blank(text[c.at()]))
        c.next();
    return c.special() == ')';
}

// The value a set gives: the bytes [from, to) of `line`, in a command that starts at `at`,
// without the ^ that make a byte plain, and the kept variables within. False where a kept
// variable stands half inside.
bool value_of(const flat_text &line, std::size_t at, std::size_t from, std::size_t to,
              flat_text &value) {
    const std::string_view text = line.text;
    // The ^ that make the next byte plain, outside quotes, within the value.
    std::vector<std::size_t> carets;
    bool quoted = false;
    const auto next = [&](std::size_t i) {
        while (i < to && text[i] != '^' && text[i] != '"')
            ++i;
        return i;
    };
    for (std::size_t i = next(at); i < to; i = next(i + 1)) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (!quoted) {
            if (i >= from) carets.push_back(i);
            ++i; // the plain byte
        }
    }
    value = {};
    std::size_t i = from;
    for (const std::size_t caret : carets) {
        value.text.append(text.substr(i, caret - i));
        i = caret + 1;
    }
    value.text.append(text.substr(i, to - i));
    // Where a kept variable stands, less the carets before it; none may stand in one.
    for (const auto &[start, end] : line.kept) {
        if (end <= from || start >= to) continue;
        if (start < from || end > to) return false;
        const auto before = std::lower_bound(carets.begin(), carets.end(), start);
        if (before != std::lower_bound(carets.begin(), carets.end(), end)) return false;
        const std::size_t shift = from + std::size_t(before - carets.begin());
        value.kept.emplace_back(start - shift, end - shift);
    }
    return true;
}

// The rule norvane-check names first in `text`, read as text of a line, where it names more
// than a note; or null.
const char *unclean(std::string_view text) {
    if (text.find('\0') != nowhere) return rule_of(message_id::nul);
    if (text.find('\r') != nowhere) return rule_of(message_id::cr_only);
    if (text.find('\x1A') != nowhere) return rule_of(message_id::eof_mark);
    const char *named = nullptr;
    scan_text(
        text, false,
        [&](std::size_t, message_id message, std::string_view) {
            if (!named && severity_of(message) != severity::note) named = rule_of(message);
        },
        [](std::string_view) {});
    return named;
}

// Whether `text` ends as a command that the next one can follow after &: no quote left open,
// no bracket or ^ outside quotes.
bool closed_command(std::string_view text) {
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') quoted = !quoted;
        if (!quoted && (c == '(' || c == ')' || c == '^')) return false;
    }
    return !quoted;
}

// The bytes [from, to) of `line`, with the kept variables within.
flat_text slice(const flat_text &line, std::size_t from, std::size_t to) {
    flat_text part{line.text.substr(from, to - from), {}};
    for (const auto &[start, end] : line.kept)
        if (start >= from && end <= to) part.kept.emplace_back(start - from, end - from);
    return part;
}

// A command's words after its name, without its redirections.
std::string arguments_of(std::string_view line, const command &k) {
    std::string words;
    std::size_t at = k.name_end;
    for (const redirection &r : k.redirections) {
        if (r.at < at) continue;
        words.append(line.substr(at, r.at - at));
        at = r.end;
    }
    if (at < k.end) words.append(line.substr(at, k.end - at));
    return words;
}

} // namespace

flattener::flattener(flatten_options options, line_sink write, refusal_sink refuse)
    : options_(std::move(options)), write_(std::move(write)), refuse_(std::move(refuse)) {}

void flattener::refuse(std::uint64_t line, std::size_t column, message_id message,
                       std::string_view subject) {
    ++refusals_;
    refuse_({line, column, message, std::string(subject), 0});
}

void flattener::refuse_at(std::size_t joined_at, message_id message, std::string_view subject) {
    const auto after = std::upper_bound(pieces_.begin(), pieces_.end(), joined_at,
                                        [](std::size_t at, const piece &p) { return at < p.at; });
    const piece &p = after == pieces_.begin() ? pieces_.front() : *(after - 1);
    const source_line &line = lines_[p.line];
    refuse(line.number, line.expanded.source_of(joined_at - p.at + p.from) + 1, message, subject);
}

void flattener::add_line(std::string_view line, std::string_view line_end) {
    if (line_end_.empty()) line_end_ = line_end;
    source_line &source = lines_.emplace_back();
    source.number = next_number_++;
    source.line_end = line_end;
    if (source.number == 1 && line.substr(0, 3) == "\xEF\xBB\xBF")
        refuse(1, 1, message_id::flat_parse, "a byte-order mark, which cmd reads as a command");
    expand_line(line, {env_, shifted_, options_.script_path}, source.expanded);
    if (shapes_.size() == logical_lines_.size()) logical_lines_.emplace_back();
    logical_lines_.back().push_back(lines_.size() - 1);
    if (!logical_.add(source.expanded.text.text)) return;
    // A statement of one line too long to write, with no bracket to open or close a block, is
    // refused without being read further, unless it is only a comment, which goes.
    const std::string_view text = logical_.text();
    if (shapes_.empty() && statement_lexer_.depth() == 0 && text.size() > longest_command &&
        std::none_of(text.begin(), text.end(),
                     [](char c) { return c == '(' || c == ')' || c == '\n'; })) {
        const std::string_view start = after_blanks(text.substr(
            text.find_first_not_of("@ \t") == nowhere ? text.size()
                                                      : text.find_first_not_of("@ \t")));
        if (!starts_with_word(start, "rem") && (start.empty() || start.front() != ':'))
            refuse(source.number, 1, message_id::flat_long_line, std::to_string(text.size()));
        clear_statement();
        return;
    }
    // The commands of a statement of one line, which is most, are not looked for twice.
    // Nor kept for a line too long to be written: a line of millions of commands takes no more
    // than its own room.
    const bool first = shapes_.empty() && logical_.text().size() <= longest_command;
    if (shapes_.empty()) first_commands_.clear();
    shapes_.push_back(statement_lexer_.lex(logical_.text(), [&](const command &k) {
        if (first) first_commands_.push_back(k);
    }));
    set_after_.push_back(statement_lexer_.in_for_set());
    if (statement_lexer_.depth() == 0) end_statement();
}

void flattener::finish() {
    if (logical_.finish()) {
        shapes_.push_back(statement_lexer_.lex(logical_.text(), [](const command &) {}));
        set_after_.push_back(statement_lexer_.in_for_set());
    }
    if (!lines_.empty()) { // a block that never closes
        closing_ = true;
        statement_lexer_depth_ = statement_lexer_.depth();
        statement_lexer_ = batch_lexer(true);
        end_statement();
    }
    if (unclean_if_last_)
        refuse(unclean_if_last_->line, unclean_if_last_->column, unclean_if_last_->message,
               unclean_if_last_->subject);
    write_held();
    // The lines after the last one written are dropped.
    if (rewrite_ && written_through_ + 1 < next_number_)
        rewrite_(written_through_ + 1, next_number_ - 1, nullptr, {});
}

void flattener::write_held() {
    if (!held_) return;
    write_(held_->text.text, held_->line_end);
    if (rewrite_) rewrite_(written_through_ + 1, held_->last, &held_->text.text, held_->line_end);
    written_through_ = held_->last;
    held_.reset();
}

// The last look at a line before it is written: how a command line reads its % forms, its
// length, and what norvane-check names in it.
void flattener::check_written(const flat_text &line, std::size_t prefix_size, bool joined_on,
                              std::uint64_t first_line, std::uint64_t refusals_before,
                              bool stands_if_last) {
    // A form that could not be expanded stands as it was: it is refused once already.
    if (const std::size_t at = read_otherwise(line);
        at != nowhere && refusals_ == refusals_before) {
        const std::size_t close = line.text.find('%', at + 1);
        const std::string name = line.text.substr(at + 1, close - at - 1);
        if (at >= prefix_size)
            refuse_at(at - prefix_size, message_id::flat_percent, name);
        else
            refuse(first_line, 1, message_id::flat_percent, name);
    }
    if (line.text.size() > longest_command)
        refuse(first_line, 1, message_id::flat_long_line, std::to_string(line.text.size()));
    if (const std::size_t mark = joined_.text.find('\x1A'); mark != nowhere)
        refuse_at(mark, message_id::flat_eof_mark);
    // What it writes, norvane-check finds nothing in but notes. Where the line leaves
    // something that stands only if nothing follows, that says more, if a line follows.
    if (refusals_ == refusals_before) {
        std::string named;
        script_checker check([&](const finding &f) {
            if (severity_of(f.message) != severity::note && named.empty())
                named = rule_of(f.message);
        });
        // The values in front of it were looked at when they were set.
        check.check_line(joined_on ? std::string_view(line.text)
                                   : std::string_view(line.text).substr(prefix_size));
        check.finish();
        if (!named.empty() && !stands_if_last)
            refuse(first_line, 1, message_id::flat_unclean, named);
        else if (!named.empty())
            unclean_if_last_ = finding{first_line, 1, message_id::flat_unclean, named, 0};
    }
}

void flattener::end_statement() {
    const std::uint64_t first_line = lines_.front().number;
    const std::uint64_t refusals_before = refusals_;
    const std::size_t count = logical_lines_.size();
    std::string joined_lines; // a logical line of several lines, made only where it is one
    const auto logical_text = [&](std::size_t li) -> std::string_view {
        const std::vector<std::size_t> &parts = logical_lines_[li];
        if (parts.size() == 1) return lines_[parts.front()].expanded.text.text;
        joined_lines.clear();
        for (const std::size_t p : parts)
            joined_lines.append(lines_[p].expanded.text.text);
        return joined_lines;
    };

    // Blank lines, labels and comments run nothing, but a batch file shows a comment while
    // echo is on.
    const bool noise = std::none_of(shapes_.begin(), shapes_.end(),
                                    [](const line_shape &s) { return s.has_command; });
    const std::string_view start = after_blanks(logical_text(0));
    const bool shown = !echo_off_ && !start.empty() && start.front() != '@' &&
                       start.front() != ':' && !(noise && shapes_.front().comment_at == nowhere);
    if (shown && !echo_refused_) refuse(first_line, 1, message_id::flat_echo_on);
    echo_refused_ = echo_refused_ || shown; // one cause, named once
    if (closing_ && statement_lexer_depth_ != 0)
        refuse(first_line, 1, message_id::flat_parse, "a block that never closes");

    // A statement too long to be written as one line is not looked into further: what it
    // leaves for the lines after it is then unknown, and so is any value it sets.
    std::size_t size = 0;
    for (const source_line &line : lines_)
        size += line.expanded.text.text.size();
    if (!noise && size > longest_command) {
        refuse(first_line, 1, message_id::flat_long_line, std::to_string(size));
        clear_statement();
        return;
    }

    if (!noise) {
        // The statement as one line: a block's lines joined with &, or with a blank within the
        // set of a for; ^ joins kept as they are, without the line end.
        joined_ = {};
        pieces_.clear();
        bool previous_opens = false;
        for (std::size_t li = 0; li < count; ++li) {
            const line_shape &shape = shapes_[li];
            const std::string_view text = logical_text(li);
            const bool last = li + 1 == count;
            if (count > 1) {
                // Within a block: blank lines and rem lines go; a label, a comment that would
                // take in the lines joined after it, or an end that would join otherwise, stop.
                const std::size_t first = std::min(text.find_first_not_of(" \t@"), text.size());
                if (first == text.size() || (shape.comment_at == first && text[first] != ':'))
                    continue;
                if (shape.label_at != nowhere || shape.comment_at == first ||
                    (!last && (shape.comment_at != nowhere || ends_open(text)))) {
                    refuse(lines_[logical_lines_[li].front()].number, first + 1,
                           message_id::flat_block_line);
                    continue;
                }
            }
            if (!joined_.text.empty()) {
                if (li > 0 && set_after_[li - 1])
                    joined_.append(" ");
                else if (!previous_opens && !starts_with_close(text))
                    joined_.append("&");
            }
            previous_opens = count > 1 && ends_with_open(text);
            for (const std::size_t p : logical_lines_[li]) {
                pieces_.push_back({joined_.text.size(), p, 0});
                joined_.append(lines_[p].expanded.text);
            }
        }
    }

    std::vector<command> commands;
    line_shape shape{};
    if (!noise && count == 1 && lines_.size() == 1) {
        commands = std::move(first_commands_);
        shape = shapes_.front();
        std::sort(commands.begin(), commands.end(),
                  [](const command &a, const command &b) { return a.at < b.at; });
    } else if (!noise && !joined_.text.empty()) {
        batch_lexer lexer(true);
        shape = lexer.lex(joined_.text, [&](const command &k) { commands.push_back(k); });
        std::sort(commands.begin(), commands.end(),
                  [](const command &a, const command &b) { return a.at < b.at; });
        if (shape.depth_after != 0 && !closing_)
            refuse(first_line, 1, message_id::flat_parse, "a block that does not close");
    }

    // What the % forms could not give, in what runs.
    if (!noise) {
        auto p = pieces_.begin();
        for (std::size_t li = 0; li < lines_.size(); ++li) {
            while (p != pieces_.end() && p->line < li)
                ++p;
            if (p == pieces_.end() || p->line != li) continue; // a line left out
            for (const expansion_problem &problem : lines_[li].expanded.problems)
                if (p->at + problem.text_at - p->from < shape.comment_at)
                    refuse(lines_[li].number, problem.source_at + 1, problem.message,
                           problem.subject);
        }
        if (delayed_)
            if (const std::size_t bang = joined_.text.find('!');
                bang != nowhere && bang < shape.comment_at)
                refuse_at(bang, message_id::flat_delayed);
    }

    // What each command leaves for the lines after it.
    std::vector<effect> effects;
    std::vector<finding> unless_last;
    bool droppable = true, top_if_or_for = false;
    std::size_t tests_errorlevel = nowhere;
    const auto later = [&](std::size_t at, message_id message, std::string_view subject = {}) {
        const auto after = std::upper_bound(pieces_.begin(), pieces_.end(), at,
                                            [](std::size_t x, const piece &p) { return x < p.at; });
        const piece &p = *(after - 1);
        const source_line &line = lines_[p.line];
        unless_last.push_back({line.number, line.expanded.source_of(at - p.at + p.from) + 1,
                               message, std::string(subject), 0});
    };
    const std::string_view text = joined_.text;
    for (const command &k : commands) {
        if (k.kind == command_kind::comment) continue;
        const bool alone = !k.conditional && !k.in_loop && k.before != separator::pipe &&
                           k.after != separator::pipe;
        if (k.kind != command_kind::simple) {
            droppable = false;
            if (k.depth == 0) top_if_or_for = true;
            if (k.errorlevel_at != nowhere && k.runs_first && tests_errorlevel == nowhere)
                tests_errorlevel = k.errorlevel_at;
            continue;
        }
        const std::string_view words = text.substr(k.name_at, k.end - k.name_at);
        const std::string_view name = text.substr(k.name_at, k.name_end - k.name_at);
        const auto is = [&](std::string_view word) { return starts_with_word(words, word); };
        if (k.call_at != nowhere) {
            refuse_at(k.call_at, message_id::flat_call);
            droppable = false;
        } else if (is("goto")) {
            if (same_any_case(trimmed(words.substr(4)), ":eof")) {
                later(k.at, message_id::flat_exit);
                droppable = droppable && alone;
            } else {
                refuse_at(k.at, message_id::flat_goto);
                droppable = false;
            }
        } else if (is("exit")) {
            later(k.at, message_id::flat_exit);
            droppable = droppable && alone;
        } else if (same_any_case(name, "echo")) {
            const std::string arguments = arguments_of(text, k);
            const std::string_view what = trimmed(arguments);
            if (what.empty()) {
                refuse_at(k.at, message_id::flat_echo_state);
            } else if (same_any_case(what, "on")) {
                refuse_at(k.at, message_id::flat_echo_on);
            } else if (same_any_case(what, "off")) {
                if (alone)
                    effects.push_back({effect::echo_off, {}, {}});
                else
                    refuse_at(k.at, message_id::flat_parse, "echo off in a branch");
                droppable = droppable && alone;
                continue;
            }
            droppable = false;
        } else if (is("set")) {
            const set_command set = parse_set(words);
            if (set.form == set_command::arithmetic) {
                refuse_at(k.at, message_id::flat_arithmetic);
            } else if (set.form == set_command::prompts) {
                refuse_at(k.at, message_id::flat_set_prompt);
            } else if (set.form == set_command::assigns && !alone) {
                later(k.at, message_id::flat_branch_set);
            } else if (set.form == set_command::assigns) {
                const std::size_t from = std::size_t(set.value.data() - text.data());
                flat_text value;
                if (!k.redirections.empty() ||
                    set.name.find_first_of("\"^%") != std::string_view::npos ||
                    !value_of(joined_, k.name_at, from, from + set.value.size(), value)) {
                    refuse_at(k.at, message_id::flat_parse, "a set that cannot be read exactly");
                    effects.push_back({effect::set, std::string(set.name), flat_text{}});
                } else if (value.text.find('"') != nowhere) {
                    refuse_at(k.at, message_id::flat_parse, "a value with a quote");
                    effects.push_back({effect::set, std::string(set.name), flat_text{}});
                } else {
                    std::optional<flat_text> given;
                    if (!value.text.empty()) given = std::move(value);
                    effects.push_back({effect::set, std::string(set.name), std::move(given)});
                }
                continue; // the program need not run it
            }
            droppable = false;
        } else if (is("path") && !trimmed(words.substr(4)).empty()) {
            const std::string_view value = after_blanks(words.substr(4));
            if (!alone) {
                later(k.at, message_id::flat_branch_set);
            } else if (value != trimmed(value) || !k.redirections.empty() ||
                       value.find_first_of("\"^") != nowhere) {
                refuse_at(k.at, message_id::flat_parse, "a path that cannot be read exactly");
            } else {
                const std::size_t from = std::size_t(value.data() - text.data());
                flat_text given;
                value_of(joined_, k.name_at, from, from + value.size(), given);
                effects.push_back(
                    {effect::set, "PATH", value == ";" ? std::nullopt : std::optional(given)});
                continue;
            }
            droppable = false;
        } else if (is("prompt")) {
            refuse_at(k.at, message_id::flat_parse, "prompt, which sets PROMPT");
            droppable = false;
        } else if (is("setlocal") || is("endlocal")) {
            if (!alone) {
                refuse_at(k.at, message_id::flat_setlocal);
            } else if (is("endlocal")) {
                effects.push_back({effect::endlocal, {}, {}});
            } else {
                effect e{effect::setlocal, {}, {}};
                const std::string_view options = words.substr(8);
                if (find_any_case(options, "disableextensions") != nowhere)
                    refuse_at(k.at, message_id::flat_setlocal);
                if (find_any_case(options, "enabledelayedexpansion") != nowhere)
                    e.delayed = e.delayed_given = true;
                if (find_any_case(options, "disabledelayedexpansion") != nowhere)
                    e.delayed_given = true;
                effects.push_back(e);
            }
            droppable = droppable && alone;
        } else if (is("shift")) {
            effects.push_back({effect::shift, {}, {}});
        } else if (env_.folder_changed() &&
                   (is("md") || is("mkdir") || is("rd") || is("rmdir") || is("move") || is("ren") ||
                    is("rename") || is("xcopy") || is("robocopy"))) {
            // The lines after a change of folder run it again; it must find what it found.
            refuse_at(k.at, message_id::flat_parse,
                      "a command that may make or remove the folder a change of folder before "
                      "it went to, which the lines after it run again");
            droppable = false;
        } else if (!name.empty() && name.front() == ')') {
            refuse_at(k.at, message_id::flat_parse, "a ) that closes no block");
            droppable = false;
        } else {
            const folder_command folder = parse_folder(words);
            // A change of folder alone need not run: the next line runs it again.
            droppable = droppable && folder.form != folder_command::none &&
                        folder.form != folder_command::shows && alone;
            if (folder.form != folder_command::none && folder.form != folder_command::shows &&
                k.before != separator::pipe && k.after != separator::pipe) {
                if (alone) {
                    effects.push_back(
                        {effect::folder,
                         {},
                         slice(joined_, k.name_at, k.name_at + trimmed(words).size())});
                } else {
                    later(k.at, message_id::flat_branch_folder);
                }
            } else if (names_batch_file(unquoted(name))) {
                later(k.at, message_id::flat_batch_file, unquoted(name));
            }
        }
    }

    const bool written = !noise && !droppable;
    if (written) {
        // A line is written: what stood only if nothing followed it stands.
        for (const finding &f : unless_last_)
            refuse(f.line, f.column, f.message, f.subject);
        unless_last_.clear();
        unclean_if_last_.reset();
        const std::string line_end =
            lines_.front().line_end.empty() ? line_end_ : lines_.front().line_end;
        flat_text line;
        std::size_t prefix_size = 0;
        bool made = true;
        if (tests_errorlevel != nowhere) {
            if (!held_ || dropped_since_held_ || held_->ends_in_if_or_for) {
                refuse_at(tests_errorlevel, message_id::flat_errorlevel);
                write_held();
                made = false;
            } else {
                line = std::move(held_->text);
                line.append("&");
                prefix_size = line.text.size();
                held_.reset();
            }
        } else if (env_.prefix_size() + joined_.text.size() > longest_command) {
            // Too long to run: not even made, so that a script of many changes of folder
            // takes no time with the square of its length. Where what is carried is too long
            // alone, every line after it is: one cause, named once.
            write_held();
            if (!carried_refused_)
                refuse(first_line, 1, message_id::flat_long_line,
                       std::to_string(env_.prefix_size() + joined_.text.size()));
            carried_refused_ = carried_refused_ || env_.prefix_size() > longest_command;
            made = false;
        } else {
            write_held();
            line = env_.prefix();
            prefix_size = line.text.size();
            if (line.text.empty() && joined_.text.front() == '"') {
                line.append("@"); // else cmd /c takes off its first and last quote
                prefix_size = 0;
            }
        }
        if (made) {
            line.append(joined_);
            if (line.text == "end") line.text = "@end"; // else norvane ends its list here
            check_written(line, prefix_size, tests_errorlevel != nowhere, first_line,
                          refusals_before, !unless_last.empty());
            held_ = held_line{std::move(line), line_end, first_line, lines_.back().number,
                              top_if_or_for || tests_errorlevel != nowhere};
        }
        dropped_since_held_ = false;
    } else if (!noise) {
        dropped_since_held_ = true;
    }
    for (finding &f : unless_last)
        unless_last_.push_back(std::move(f));

    // What goes in front of every later line as it is: norvane-check must find nothing in it
    // but notes there too.
    for (const effect &e : effects) {
        if (refusals_ != refusals_before) break; // refused already: its values are not carried
        const char *rule = nullptr;
        if (e.kind == effect::set) rule = unclean(e.name);
        if (!rule && e.value) rule = unclean(e.value->text);
        if (rule) refuse(first_line, 1, message_id::flat_unclean, rule);
        // A % or ! there could pair with one of a later line's, which reads otherwise then.
        if (!rule &&
            ((e.value && holds_percent(*e.value)) || e.name.find('%') != std::string::npos))
            refuse(first_line, 1, message_id::flat_parse,
                   "a % in what goes in front of each later line");
        else if (!rule && ((e.value && e.value->text.find('!') != std::string::npos) ||
                           e.name.find('!') != std::string::npos))
            refuse(first_line, 1, message_id::flat_parse,
                   "a ! in what goes in front of each later line");
        else if (!rule && e.kind == effect::folder && !closed_command(e.value->text))
            refuse(first_line, 1, message_id::flat_parse,
                   "an open quote, a bracket or a ^ in a change of folder that goes in front "
                   "of each later line");
    }
    // A statement refused leaves what it set unknown: read as nothing after it, so that its
    // refusal is not named again in every line that reads it.
    const bool refused_here = refusals_ != refusals_before;
    for (effect &e : effects) {
        switch (e.kind) {
        case effect::set:
            env_.set(e.name, refused_here ? std::nullopt : std::move(e.value));
            break;
        case effect::folder:
            // Its messages show at the next line, unless this one, written, showed them.
            env_.run_folder_command(std::move(*e.value), written);
            break;
        case effect::setlocal:
            env_.setlocal();
            saved_delayed_.push_back(delayed_);
            if (e.delayed_given) delayed_ = e.delayed;
            break;
        case effect::endlocal:
            env_.endlocal();
            if (!saved_delayed_.empty()) {
                delayed_ = saved_delayed_.back();
                saved_delayed_.pop_back();
            }
            break;
        case effect::echo_off:
            echo_off_ = true;
            break;
        case effect::shift:
            shifted_ = true;
            break;
        }
    }

    clear_statement();
}

void flattener::clear_statement() {
    lines_.clear();
    logical_lines_.clear();
    shapes_.clear();
    set_after_.clear();
    first_commands_.clear();
}
