#include "check/script_checker.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
constexpr std::size_t longest_command = 8191; // what cmd.exe runs

bool is_blank_or_mark(char c) {
    return is_blank(c) || c == '\r' || c == '\f' || c == '\v' || c == '\x1A';
}

bool is_letter(char c) {
    return small_letter(c) >= 'a' && small_letter(c) <= 'z';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// A variable's name as cmd compares it, in any case.
std::string variable_key(std::string_view name) {
    std::string key(name);
    for (char &c : key)
        c = small_letter(c);
    return key;
}

std::string_view after_blanks(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view unquoted(std::string_view word) {
    if (!word.empty() && word.front() == '"') word.remove_prefix(1);
    if (!word.empty() && word.back() == '"') word.remove_suffix(1);
    return word;
}

// Whether a line that starts with a quote keeps its quotes under `cmd /c`: exactly two, a blank
// between them and none of & < > ( ) @ ^ | there.
bool keeps_quotes(std::string_view line) {
    if (std::count(line.begin(), line.end(), '"') != 2) return false;
    const std::string_view quoted = line.substr(1, line.find('"', 1) - 1);
    return quoted.find_first_of(" \t") != std::string_view::npos &&
           quoted.find_first_of("&<>()@^|") == std::string_view::npos;
}

// The end of a `%` form at `at` that stands for an argument of the batch file (`%1`, `%*`,
// `%~dp0`, `%~$PATH:1`), or `nowhere`.
std::size_t argument_end(std::string_view text, std::size_t at) {
    std::size_t i = at + 1;
    if (i < text.size() && (is_digit(text[i]) || text[i] == '*')) return i + 1;
    if (i == text.size() || text[i] != '~') return nowhere;
    for (++i; i < text.size() && is_letter(text[i]);)
        ++i;
    if (i < text.size() && text[i] == '$') {
        const std::size_t colon = text.find(':', i);
        if (colon == std::string_view::npos) return nowhere;
        i = colon + 1;
    }
    return i < text.size() && is_digit(text[i]) ? i + 1 : nowhere;
}

// The end of a loop variable written `%%x` or `%%~fx` at `at`, or `nowhere`.
std::size_t loop_variable_end(std::string_view text, std::size_t at) {
    std::size_t i = at + 2;
    if (i < text.size() && text[i] == '~') {
        std::size_t end = i + 1;
        while (end < text.size() && is_letter(text[end]))
            ++end;
        return end > i + 1 ? end : nowhere;
    }
    return i < text.size() && is_letter(text[i]) ? i + 1 : nowhere;
}

// The name of `!NAME!` or `!NAME:...!` at `at` and the end of it all, where it is one: the name
// holds no blank.
std::pair<std::string_view, std::size_t> delayed_at(std::string_view text, std::size_t at) {
    const std::size_t close = text.find('!', at + 1);
    if (close == std::string_view::npos) return {{}, nowhere};
    const std::string_view inside = text.substr(at + 1, close - at - 1);
    const std::string_view name = inside.substr(0, inside.find(':'));
    if (name.empty() || name.find_first_of(" \t") != std::string_view::npos) return {{}, nowhere};
    return {name, close + 1};
}

} // namespace

// What one line holds, and where its findings stand: those known before its commands are
// looked at (`points`, by column), and the scan of its text for `%` and `!` forms.
struct script_checker::line_facts {
    std::size_t offset = 0; // of the text the lexer sees, past a byte-order mark
    line_shape shape;
    std::uint64_t depth_after = 0; // of the blocks open after the line
    bool in_loop = false;          // in a `for` line or the block of one
    bool exit_on = false;          // this line's first exit is taken
    std::vector<finding> points;
    std::size_t next_point = 0;
    std::string_view code; // the text outside comments
    std::size_t scanned = 0;
    std::optional<finding> text_finding; // the next one of the scan, taken out already
    std::vector<finding> sets;           // made on this line, looked for from the next
};

void script_checker::report_before(line_facts &facts, std::uint64_t column) {
    for (;;) {
        if (!facts.text_finding) {
            finding f;
            if (next_in_text(facts, f)) facts.text_finding = std::move(f);
        }
        const finding *point =
            facts.next_point < facts.points.size() ? &facts.points[facts.next_point] : nullptr;
        const finding *text = facts.text_finding ? &*facts.text_finding : nullptr;
        const finding *first = point && (!text || point->column <= text->column) ? point : text;
        if (!first || first->column >= column) return;
        report_(*first);
        if (first == point)
            ++facts.next_point;
        else
            facts.text_finding.reset();
    }
}

void script_checker::report_at(line_facts &facts, std::size_t at, message_id message,
                               std::string subject, std::uint64_t other_line) {
    const finding f{line_, facts.offset + at + 1, message, std::move(subject), other_line};
    report_before(facts, f.column);
    report_(f);
}

void script_checker::check_line(std::string_view line) {
    ++line_;
    line_facts facts;
    if (line_ == 1 && line.substr(0, 3) == byte_order_mark) {
        facts.points.push_back({line_, 1, message_id::bom, {}, 0});
        facts.offset = 3;
    }
    const std::string_view text = line.substr(facts.offset);
    if (!std::all_of(text.begin(), text.end(), is_blank_or_mark)) {
        if (end_line_) decided_.push_back(*std::exchange(end_line_, std::nullopt));
        if (mark_) decided_.push_back(*std::exchange(mark_, std::nullopt));
    }
    if (line == "end" && !end_seen_) {
        end_seen_ = true;
        end_line_ = finding{line_, 1, message_id::end_line, {}, 0};
    }
    // The lexer runs twice: first to learn where the last separator is, which tells each
    // command whether another follows it, and what blocks the line opens and closes; then to
    // check each command.
    block_state after = blocks_;
    facts.shape = lex_line(text, after, [](const command_view &) {});
    facts.depth_after = after.depth;
    facts.in_loop = blocks_.loop_depth > 0 || facts.shape.has_for;
    facts.code = text.substr(0, facts.shape.comment_at);
    if (exit_ && facts.shape.has_command) {
        exit_->other_line = line_;
        decided_.push_back(*std::exchange(exit_, std::nullopt));
    }
    check_bytes(line, facts);
    check_blocks(text, facts);
    if (blocks_.depth == 0 && after.depth > 0) block_line_ = line_;
    std::stable_sort(facts.points.begin(), facts.points.end(),
                     [](const finding &a, const finding &b) { return a.column < b.column; });
    lex_line(text, blocks_, [&](const command_view &c) { check_command(c, facts); });
    report_before(facts, UINT64_MAX);
    end_of_line(facts);
}

// What the bytes of a line say, wherever they stand.
void script_checker::check_bytes(std::string_view line, line_facts &facts) {
    const auto point = [&](std::size_t at, message_id message, std::string subject = {}) {
        facts.points.push_back({line_, at + 1, message, std::move(subject), 0});
    };
    if (!line.empty() && line[0] == '"' && !keeps_quotes(line)) point(0, message_id::quotes);
    if (line.size() > longest_command)
        point(longest_command, message_id::long_line, std::to_string(line.size()));
    if (const std::size_t cr = cr_seen_ ? nowhere : line.find('\r'); cr != nowhere) {
        cr_seen_ = true;
        point(cr, message_id::cr_only);
    }
    if (const std::size_t mark = mark_seen_ ? nowhere : line.find('\x1A'); mark != nowhere) {
        mark_seen_ = true;
        const std::string_view rest = line.substr(mark + 1);
        finding f{line_, mark + 1, message_id::eof_mark, {}, 0};
        if (std::all_of(rest.begin(), rest.end(), is_blank_or_mark))
            mark_ = f; // decided by the next line that is not blank
        else
            decided_.push_back(f);
    }
    const std::string_view code = facts.code;
    if (const std::size_t nul = code.find('\0'); nul != nowhere)
        point(facts.offset + nul, message_id::nul);
    if (!high_seen_) {
        const auto high = std::find_if(
            code.begin(), code.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        if (high != code.end()) {
            high_seen_ = true;
            point(facts.offset + std::size_t(high - code.begin()), message_id::code_page);
        }
    }
    if (facts.shape.label_at != nowhere)
        point(facts.offset + facts.shape.label_at, message_id::label_line);
}

// Blocks over several lines, and lines continued with ^: in the program each line runs alone.
void script_checker::check_blocks(std::string_view text, line_facts &facts) {
    const auto point = [&](std::size_t at, message_id message, std::uint64_t other) {
        facts.points.push_back({line_, facts.offset + at + 1, message, {}, other});
    };
    const std::size_t first = std::min(text.find_first_not_of(" \t@"), text.size());
    const bool empty =
        first == text.size() || (facts.shape.comment_at != nowhere && !facts.shape.has_command);
    if (blocks_.depth == 0 && facts.depth_after > 0) {
        point(facts.shape.opened_at, message_id::block_opens, 0);
    } else if (blocks_.depth > 0 && facts.depth_after == 0) {
        point(facts.shape.closed_at, message_id::block_closes, block_line_);
    } else if (blocks_.depth > 0 && !empty) {
        point(first, message_id::block_inside, block_line_);
    }
    if (caret_line_ != 0)
        point(std::min(first, text.size()), message_id::block_continued, caret_line_);
    caret_line_ = 0;
    if (facts.shape.caret_at != nowhere) {
        point(facts.shape.caret_at, message_id::block_caret, 0);
        caret_line_ = line_;
    }
}

void script_checker::check_command(const command_view &command, line_facts &facts) {
    const std::string_view text = command.text;
    const std::size_t end = command.at + text.size();
    const bool followed =
        facts.shape.last_separator != nowhere && facts.shape.last_separator >= end;
    const auto at = [&](std::string_view word) { return starts_with_word(text, word); };
    const auto arguments = [&](std::size_t word_size) {
        return after_blanks(text.substr(word_size));
    };
    if (command.first) {
        if (command.errorlevel_at != nowhere) {
            report_at(facts, command.errorlevel_at, message_id::errorlevel);
        } else if (const std::size_t use =
                       text.find('%') == nowhere ? nowhere : find_any_case(text, "%errorlevel%");
                   use != nowhere) {
            report_at(facts, command.at + use, message_id::errorlevel);
        }
    }
    if (at("goto")) {
        report_at(facts, command.at, message_id::goto_label);
    } else if (at("call")) {
        check_call(command, arguments(4), facts);
    } else if (at("shift")) {
        report_at(facts, command.at, message_id::shift);
    } else if (at("setlocal") || at("endlocal")) {
        report_at(facts, command.at, message_id::setlocal,
                  at("setlocal") ? "setlocal" : "endlocal");
    } else if (at("exit")) {
        if (!facts.exit_on && !exit_)
            exit_ = finding{line_, facts.offset + command.at + 1, message_id::exit, {}, 0};
        facts.exit_on = true;
    } else if (followed) {
        return; // what follows on the line has the folder and the variable
    } else if (at("set")) {
        check_set(command, arguments(3), facts);
    } else if (at("cd") || at("chdir") || at("pushd")) {
        const char *name = at("cd") ? "cd" : at("chdir") ? "chdir" : "pushd";
        // Without a folder it only shows one.
        if (!arguments(std::strlen(name)).empty())
            report_at(facts, command.at, message_id::folder_change, name);
    } else if (at("popd")) {
        report_at(facts, command.at, message_id::folder_back);
    } else if (text.size() >= 2 && is_letter(text[0]) && text[1] == ':' &&
               (text.size() == 2 || is_blank(text[2]))) {
        report_at(facts, command.at, message_id::drive_change, std::string(text.substr(0, 2)));
    }
}

void script_checker::check_call(const command_view &command, std::string_view arguments,
                                line_facts &facts) {
    const std::string_view target = first_word(arguments);
    if (!target.empty() && target[0] == ':') {
        report_at(facts, command.at, message_id::call_label, std::string(target.substr(1)));
        return;
    }
    const std::string_view name = unquoted(target);
    const std::string_view type = name.substr(name.size() - std::min<std::size_t>(name.size(), 4));
    if (name.size() > 4 && (find_any_case(type, ".bat") == 0 || find_any_case(type, ".cmd") == 0))
        report_at(facts, command.at, message_id::call_script, std::string(name));
}

// `set NAME=value`, `set "NAME=value"`, `set /a NAME+=1`, `set /p NAME=prompt`: what the next
// lines expect of NAME they do not get.
void script_checker::check_set(const command_view &command, std::string_view arguments,
                               line_facts &facts) {
    bool arithmetic = false;
    if (starts_with_word(arguments, "/a") || starts_with_word(arguments, "/p")) {
        arithmetic = starts_with_word(arguments, "/a");
        arguments = after_blanks(arguments.substr(2));
    }
    if (!arguments.empty() && arguments.front() == '"') arguments.remove_prefix(1);
    const std::size_t equals = arguments.find('=');
    if (equals == std::string_view::npos) return;
    std::string_view name = arguments.substr(0, equals);
    if (arithmetic) {
        while (!name.empty() && std::string_view(" \t+-*/%&|^<>").find(name.back()) != nowhere)
            name.remove_suffix(1);
        name = after_blanks(name);
    }
    if (name.empty()) return;
    facts.sets.push_back(
        {line_, facts.offset + command.at + 1, message_id::variable_unused, std::string(name), 0});
}

// The next finding of the scan of the line's text: `%` forms, which expand before anything
// else, quotes or not, and `!NAME!`. The uses of variables it passes are noted.
bool script_checker::next_in_text(line_facts &facts, finding &found) {
    const std::string_view code = facts.code;
    const auto take = [&](std::size_t at, std::size_t end, message_id message,
                          std::string_view subject) {
        found = {line_, facts.offset + at + 1, message, std::string(subject), 0};
        facts.scanned = end;
        return true;
    };
    while (facts.scanned < code.size()) {
        const auto next = std::find_if(code.begin() + std::ptrdiff_t(facts.scanned), code.end(),
                                       [](char c) { return c == '%' || c == '!'; });
        if (next == code.end()) break;
        const auto at = std::size_t(next - code.begin());
        facts.scanned = at + 1;
        if (code[at] == '!') {
            const auto [name, end] = delayed_at(code, at);
            if (end == nowhere) continue;
            use_variable(name);
            return take(at, end, message_id::delayed, code.substr(at + 1, end - at - 2));
        }
        if (at + 1 < code.size() && code[at + 1] == '%') {
            const std::size_t end = facts.in_loop ? loop_variable_end(code, at) : nowhere;
            if (end != nowhere)
                return take(at, end, message_id::loop_variable, code.substr(at + 2, end - at - 2));
            return take(at, at + 2, message_id::percent, {});
        }
        if (const std::size_t end = argument_end(code, at); end != nowhere)
            return take(at, end, message_id::argument, code.substr(at + 1, end - at - 1));
        const std::size_t close = code.find('%', at + 1);
        if (close == nowhere) break;
        const std::string_view inside = code.substr(at + 1, close - at - 1);
        use_variable(inside.substr(0, inside.find(':')));
        facts.scanned = close + 1;
    }
    facts.scanned = code.size();
    return false;
}

// The set of `name` looked for is decided by this line, which uses the variable or sets it again.
void script_checker::decide_set(const std::string &name, message_id message) {
    const auto set = sets_.find(name);
    if (set == sets_.end()) return;
    set->second.message = message;
    set->second.other_line = line_;
    decided_.push_back(std::move(set->second));
    sets_.erase(set);
}

void script_checker::use_variable(std::string_view name) {
    if (!sets_.empty() && !name.empty()) decide_set(variable_key(name), message_id::variable_used);
}

// The sets of the line start to be looked for, and what the line decided is reported.
void script_checker::end_of_line(line_facts &facts) {
    for (finding &set : facts.sets) {
        std::string name = variable_key(set.subject);
        decide_set(name, message_id::variable_set_again);
        sets_.emplace(std::move(name), std::move(set));
    }
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
    // An end line, an exit or an end-of-file mark with nothing after it does what it says.
    for (auto &[name, set] : sets_)
        decided_.push_back(std::move(set));
    sets_.clear();
    report_decided();
}
