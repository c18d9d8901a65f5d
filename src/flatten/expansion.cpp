#include "flatten/expansion.h"

#include "batch/percent.h"
#include "batch/text.h"
#include "batch/windows_variables.h"

#include <algorithm>
#include <charconv>

namespace {

// A number of a substring form: digits, perhaps after a minus, no leading zero (which cmd
// would read as octal).
bool read_number(std::string_view text, long &number) {
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view digits = text.substr(negative);
    if (digits.empty() || digits.size() > 9 || (digits.size() > 1 && digits.front() == '0'))
        return false;
    for (const char c : digits)
        if (!is_digit(c)) return false;
    std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (negative) number = -number;
    return true;
}

// VALUE:~a[,b]: where it starts and how long it is, as cmd cuts it.
bool substring(std::string_view value, std::string_view edit, std::string &result) {
    const std::size_t comma = edit.find(',');
    long start = 0, length = 0;
    if (!read_number(edit.substr(1, comma == nowhere ? nowhere : comma - 1), start)) return false;
    const long size = long(value.size());
    if (start < 0) start = std::max(0L, size + start);
    start = std::min(start, size);
    long end = size;
    if (comma != nowhere) {
        if (!read_number(edit.substr(comma + 1), length)) return false;
        end = length < 0 ? size + length : std::min(size, start + length);
    }
    result.assign(end > start ? value.substr(std::size_t(start), std::size_t(end - start)) : "");
    return true;
}

// VALUE:old=new, old in any case, each time it stands; *old=new up to the first.
bool substitution(std::string_view value, std::string_view edit, std::string &result) {
    const std::size_t equals = edit.find('=');
    std::string_view old = edit.substr(0, equals);
    const std::string_view replacement = edit.substr(equals + 1);
    const bool up_to = !old.empty() && old.front() == '*';
    if (up_to) old.remove_prefix(1);
    if (old.empty()) return false;
    const auto find = [&](std::size_t from) {
        const auto at =
            std::search(value.begin() + std::ptrdiff_t(from), value.end(), old.begin(), old.end(),
                        [](char a, char b) { return small_letter(a) == small_letter(b); });
        return at == value.end() ? nowhere : std::size_t(at - value.begin());
    };
    result.clear();
    std::size_t from = 0;
    for (std::size_t at; (at = find(from)) != nowhere;) {
        if (!up_to) result.append(value.substr(from, at - from));
        result.append(replacement);
        from = at + old.size();
        if (up_to) break;
    }
    result.append(value.substr(from));
    return true;
}

// %~mods0 of the script's path: only f alone, or d, p, n and x in any mix, of a full path such
// as C:\folder\name.bat that cmd would not write otherwise.
bool script_path_form(std::string_view path, std::string_view modifiers, std::string &result) {
    if (path.size() < 3 || !is_letter(path[0]) || path[1] != ':' || path[2] != '\\' ||
        path.back() == '\\' || path.find('/') != nowhere || path.find("\\\\") != nowhere ||
        path.find("\\.") != nowhere || path.find('"') != nowhere)
        return false;
    if (modifiers.empty()) return false;
    const auto has = [&](char m) { return find_any_case(modifiers, std::string(1, m)) != nowhere; };
    for (const char m : modifiers)
        if (std::string_view("fdpnx").find(small_letter(m)) == nowhere) return false;
    const std::size_t slash = path.rfind('\\');
    const std::string_view name = path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    result.clear();
    if (has('f')) {
        if (modifiers.size() != 1) return false;
        result.assign(path);
        return true;
    }
    if (has('d')) result.append(path.substr(0, 2));
    if (has('p')) result.append(path.substr(2, slash - 1));
    if (has('n')) result.append(name.substr(0, dot));
    if (has('x') && dot != nowhere) result.append(name.substr(dot));
    return true;
}

} // namespace

bool edit_value(const flat_text &value, std::string_view edit, std::string &result) {
    if (!value.kept.empty()) return false; // a variable the program expands stands in it
    if (!edit.empty() && edit.front() == '~') return substring(value.text, edit, result);
    return edit.find('=') != nowhere && substitution(value.text, edit, result);
}

// Whether a % stands in the text other than in a kept variable.
bool holds_percent(const flat_text &value) {
    std::size_t from = 0;
    for (const auto &[start, end] : value.kept) {
        if (value.text.find('%', from) < start) return true;
        from = end;
    }
    return value.text.find('%', from) != nowhere;
}

std::size_t expanded_line::source_of(std::size_t text_at) const {
    const auto after =
        std::upper_bound(marks.begin(), marks.end(), text_at,
                         [](std::size_t at, const mark &m) { return at < m.text_at; });
    if (after == marks.begin()) return text_at;
    const mark &m = *(after - 1);
    return m.form ? m.source_at : m.source_at + (text_at - m.text_at);
}

namespace {

// One % form of the line, `whole` its text, onto the end of `out`.
void expand_form(const percent_form &form, std::string_view whole, const expansion_input &in,
                 expanded_line &out) {
    flat_text &text = out.text;
    // The form stays as it stands where it cannot be expanded, so that the line around it
    // reads as it would.
    const auto problem = [&](message_id message, std::string_view subject) {
        out.problems.push_back({form.at, text.text.size(), message, std::string(subject)});
        text.append(whole);
    };
    std::string edited;
    switch (form.kind) {
    case percent_kind::doubled:
        text.append("%");
        return;
    case percent_kind::lone:
        return; // a batch file drops it
    case percent_kind::argument:
        if (form.name != "0") {
            // No arguments: empty, unless a modifier could make something of nothing.
            if (!form.edit.empty()) problem(message_id::flat_argument, whole);
        } else if (in.shifted || form.edit.empty() || form.edit.find('$') != nowhere) {
            problem(message_id::flat_argument, whole);
        } else if (in.script_path.empty()) {
            problem(message_id::flat_script_path, whole);
        } else if (!script_path_form(in.script_path, form.edit, edited)) {
            problem(message_id::flat_argument, whole);
        } else {
            text.append(edited);
        }
        return;
    default:
        break;
    }
    if (const auto known = in.env.find(form.name)) {
        if (!*known) { // removed: a batch file reads %NAME% as nothing, and %NAME:...% oddly
            if (form.kind != percent_kind::variable) problem(message_id::flat_parse, whole);
        } else if (holds_percent(**known)) {
            problem(message_id::flat_parse, "a value that holds a %, which Wine's cmd reads "
                                            "again where Windows' does not");
        } else if (form.kind == percent_kind::variable) {
            text.append(**known);
        } else if (edit_value(**known, form.edit, edited)) {
            text.append(edited);
        } else {
            problem(message_id::flat_parse, whole);
        }
        return;
    }
    if (same_name(form.name, "errorlevel") || same_name(form.name, "cmdcmdline") ||
        (same_name(form.name, "cd") && in.env.folder_changed())) {
        problem(message_id::flat_dynamic, form.name);
    } else if (!always_set(form.name) && !same_name(form.name, "cd")) {
        problem(message_id::flat_unset, form.name);
    } else if (form.kind == percent_kind::bad_edit) {
        problem(message_id::flat_parse, whole);
    } else {
        text.kept.emplace_back(text.text.size(), text.text.size() + whole.size());
        text.append(whole);
    }
}

} // namespace

void expand_line(std::string_view line, const expansion_input &in, expanded_line &out) {
    out.text = {};
    out.problems.clear();
    out.marks.clear();
    for (std::size_t i = 0; i < line.size();) {
        const std::size_t at = line.find('%', i);
        out.text.append(line.substr(i, at == nowhere ? nowhere : at - i));
        if (at == nowhere) break;
        const percent_form form = percent_at(line, at);
        out.marks.push_back({at, out.text.text.size(), true});
        expand_form(form, line.substr(at, form.end - at), in, out);
        i = form.end;
        out.marks.push_back({i, out.text.text.size(), false});
    }
}

std::size_t read_otherwise(const flat_text &line) {
    const std::string_view text = line.text;
    auto next_kept = line.kept.begin();
    for (std::size_t i = 0; (i = text.find('%', i)) != nowhere;) {
        while (next_kept != line.kept.end() && next_kept->second <= i)
            ++next_kept;
        if (next_kept != line.kept.end() && next_kept->first == i) {
            i = next_kept->second;
            continue;
        }
        const std::size_t close = text.find('%', i + 1);
        if (close == nowhere) return nowhere;
        const std::string_view name = text.substr(i + 1, close - i - 1);
        const std::string_view variable = name.substr(0, name.find(':'));
        if (!variable.empty() && variable.find_first_of(" \t") == nowhere) return i;
        ++i;
    }
    return nowhere;
}
