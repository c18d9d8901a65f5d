#include "check/command_rules.h"

#include "batch/commands.h"
#include "batch/text.h"

#include <algorithm>

namespace {

std::string_view first_word(std::string_view text) {
    std::size_t end = 0;
    for (bool quoted = false; end < text.size() && (quoted || !is_blank(text[end])); ++end)
        if (text[end] == '"') quoted = !quoted;
    return text.substr(0, end);
}

bool ends_with_any_case(std::string_view text, std::string_view ending) {
    return text.size() > ending.size() &&
           same_any_case(text.substr(text.size() - ending.size()), ending);
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
        return;
    }
    if (k.kind != command_kind::simple) return;
    const std::string_view text = line.substr(k.name_at, k.end - k.name_at);
    const auto at = [&](std::string_view word) { return starts_with_word(text, word); };
    if (k.call_at != nowhere) {
        const std::string_view target = first_word(text);
        if (!target.empty() && target[0] == ':') {
            found(k.call_at, message_id::call_label, target.substr(1));
            return;
        }
        read_called(text, read);
        std::string_view name = target;
        if (!name.empty() && name.front() == '"') name.remove_prefix(1);
        if (!name.empty() && name.back() == '"') name.remove_suffix(1);
        if (ends_with_any_case(name, ".bat") || ends_with_any_case(name, ".cmd"))
            found(k.call_at, message_id::call_script, name);
    }
    if (at("goto")) {
        found(k.name_at, message_id::goto_label, {});
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
        if (!k.followed && !set.name.empty() && set.form != set_command::shows &&
            set.form != set_command::wrong)
            effects.sets.emplace_back(k.at, set.name);
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
