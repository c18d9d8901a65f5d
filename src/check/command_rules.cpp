#include "check/command_rules.h"

#include "batch/commands.h"
#include "batch/percent.h"
#include "batch/text.h"

#include <algorithm>

namespace {

std::string_view first_word(std::string_view text) {
    std::size_t end = 0;
    for (bool quoted = false; end < text.size() && (quoted || !is_blank(text[end])); ++end)
        if (text[end] == '"') quoted = !quoted;
    return text.substr(0, end);
}

// call expands its command's % forms once more, so %%NAME%% reads NAME.
void read_called(std::string_view text, const variable_read &read) {
    for (std::size_t at = text.find("%%"); at != nowhere; at = text.find("%%", at)) {
        const std::size_t close = text.find("%%", at + 2);
        if (close == nowhere) return;
        const std::string_view name = text.substr(at + 2, close - at - 2);
        if (!name.empty()) read(name);
        at = close + 2;
    }
}

// The commands cmd runs itself, which call runs as they are.
bool built_in(std::string_view name) {
    static constexpr std::string_view names[] = {
        "assoc",    "break",  "call",  "cd",   "chdir",    "cls",    "color",  "copy",   "date",
        "del",      "dir",    "dpath", "echo", "endlocal", "erase",  "exit",   "for",    "ftype",
        "goto",     "if",     "keys",  "md",   "mkdir",    "mklink", "move",   "path",   "pause",
        "popd",     "prompt", "pushd", "rd",   "rem",      "ren",    "rename", "rmdir",  "set",
        "setlocal", "shift",  "start", "time", "title",    "type",   "ver",    "verify", "vol",
    };
    return std::any_of(std::begin(names), std::end(names),
                       [&](std::string_view n) { return same_any_case(name, n); });
}

// A name that call may find on PATH as a batch file: no extension, no built-in command, and
// written out, not made as the line runs.
bool may_be_script(std::string_view name) {
    if (name.empty() || name.find_first_of("%!") != nowhere) return false;
    const std::size_t folder_end = name.find_last_of("\\/:");
    const std::string_view file = folder_end == nowhere ? name : name.substr(folder_end + 1);
    return !file.empty() && file.find('.') == nowhere && !built_in(name);
}

// The %NAME% forms that an if's condition compares with nothing: "%X%"=="", [%X%]==[],
// %X%.==.: the side without the form is the other side.
void find_empty_tests(std::string_view line, const command &k, std::vector<std::size_t> &at) {
    const std::string_view condition = line.substr(k.condition_at, k.end - k.condition_at);
    const std::size_t equals = condition.find("==");
    if (equals == nowhere) return;
    const std::string_view sides[] = {before_blanks(condition.substr(0, equals)),
                                      after_blanks(condition.substr(equals + 2))};
    for (int i = 0; i < 2; ++i) {
        const std::string_view side = sides[i];
        const std::size_t percent = side.find('%');
        if (percent == nowhere) continue;
        const std::size_t side_at = std::size_t(side.data() - line.data());
        const percent_form form = percent_at(line, side_at + percent);
        if (form.kind != percent_kind::variable || form.end > side_at + side.size()) continue;
        std::string rest(side.substr(0, percent));
        rest.append(side.substr(form.end - side_at));
        if (rest == sides[1 - i]) at.push_back(form.at);
    }
}

// The names a set /a expression may give a value: each word of letters, digits and _.
void computed_names(std::string_view expression, std::vector<std::string_view> &names) {
    const auto in_name = [](char c) { return is_letter(c) || is_digit(c) || c == '_'; };
    for (std::size_t at = 0; at < expression.size();) {
        if (!in_name(expression[at])) {
            ++at;
            continue;
        }
        const std::size_t start = at;
        while (at < expression.size() && in_name(expression[at]))
            ++at;
        if (!is_digit(expression[start])) names.push_back(expression.substr(start, at - start));
    }
}

bool writes_standard_output(const command &k) {
    return std::any_of(k.redirections.begin(), k.redirections.end(),
                       [](const redirection &r) { return r.handle == '1'; });
}

} // namespace

void check_command(std::string_view line, const command &k, const text_finding &found,
                   const variable_read &read, command_effects &effects) {
    if (k.kind == command_kind::if_head) {
        if (k.errorlevel_at != nowhere && k.runs_first)
            found(k.errorlevel_at, message_id::errorlevel, {});
        if (k.errorlevel_at == nowhere) find_empty_tests(line, k, effects.empty_tests);
        return;
    }
    if (k.kind != command_kind::simple) return;
    const std::string_view text = line.substr(k.name_at, k.end - k.name_at);
    const auto at = [&](std::string_view word) { return starts_with_word(text, word); };
    if (k.call_at != nowhere) {
        const std::string_view target = first_word(text);
        if (!target.empty() && target[0] == ':') {
            found(k.call_at, message_id::call_label, target.substr(1));
            effects.any_set = true;
            return;
        }
        read_called(text, read);
        const std::string_view name = unquoted(target);
        if (names_batch_file(name)) {
            found(k.call_at, message_id::call_script, name);
            effects.any_set = true;
        } else if (may_be_script(name)) {
            found(k.call_at, message_id::call_unknown, name);
            effects.any_set = true;
        } else if (name.find_first_of("%!") != nowhere) {
            effects.any_set = true;
        }
    } else if (const std::string_view name =
                   unquoted(line.substr(k.name_at, k.name_end - k.name_at));
               names_batch_file(name) && effects.batch_at == nowhere) {
        effects.batch_at = k.at;
        effects.batch_name = name;
    }
    if (at("goto")) {
        found(k.name_at, message_id::goto_label, {});
        effects.any_set = true;
        if (!k.conditional && !k.in_loop && k.depth == 0)
            effects.goto_at = std::min(effects.goto_at, k.at);
    } else if (at("shift")) {
        found(k.name_at, message_id::shift, {});
    } else if (at("setlocal") || at("endlocal")) {
        found(k.name_at, message_id::setlocal, at("setlocal") ? "setlocal" : "endlocal");
    } else if (at("exit")) {
        effects.exit_at = std::min(effects.exit_at, k.at);
    } else if (at("set")) {
        const set_command set = parse_set(text);
        if (set.form == set_command::arithmetic && k.before != separator::pipe &&
            k.after != separator::pipe && !writes_standard_output(k))
            found(k.at, message_id::arithmetic, {});
        if (set.form == set_command::arithmetic) computed_names(set.value, effects.computed);
        if (set.name.find_first_of("%!") != nowhere) effects.any_set = true;
        if (!set.name.empty() && set.form != set_command::shows && set.form != set_command::wrong)
            effects.sets.push_back({k.at, set.name, k.followed});
    } else if (k.followed) {
        return; // what follows on the line has the folder
    } else if (at("path")) {
        if (!after_blanks(text.substr(4)).empty()) found(k.at, message_id::path_change, {});
    } else {
        const folder_command folder = parse_folder(text);
        switch (folder.form) {
        case folder_command::changes:
        case folder_command::pushes:
            found(k.at, message_id::folder_change,
                  at("cd")      ? "cd"
                  : at("chdir") ? "chdir"
                                : "pushd");
            break;
        case folder_command::pops:
            found(k.at, message_id::folder_back, {});
            break;
        case folder_command::drive:
            found(k.at, message_id::drive_change, folder.target);
            break;
        default:
            break;
        }
    }
}
