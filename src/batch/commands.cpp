#include "batch/commands.h"

#include "batch/text.h"

bool names_batch_file(std::string_view name) {
    const auto ends_in = [&](std::string_view ending) {
        return name.size() > ending.size() &&
               same_any_case(name.substr(name.size() - ending.size()), ending);
    };
    return ends_in(".bat") || ends_in(".cmd");
}

set_command parse_set(std::string_view text) {
    std::string_view arguments = after_blanks(text.substr(3));
    if (starts_with_word(arguments, "/a")) {
        const std::string_view expression = after_blanks(arguments.substr(2));
        const std::string_view inner = unquoted(expression);
        const std::size_t equals = inner.find('=');
        std::string_view name = equals == nowhere ? std::string_view() : inner.substr(0, equals);
        while (!name.empty() && std::string_view(" \t+-*/%&|^<>").find(name.back()) != nowhere)
            name.remove_suffix(1);
        return {set_command::arithmetic, after_blanks(name), expression, false};
    }
    const bool prompts = starts_with_word(arguments, "/p");
    if (prompts) arguments = after_blanks(arguments.substr(2));
    const bool quoted = !arguments.empty() && arguments.front() == '"';
    if (quoted) {
        arguments.remove_prefix(1);
        const std::size_t last = arguments.rfind('"');
        if (last != nowhere) arguments = arguments.substr(0, last);
    }
    const std::size_t equals = arguments.find('=');
    if (equals == nowhere) return {set_command::shows, arguments, {}, quoted};
    if (equals == 0) return {set_command::wrong, {}, {}, quoted};
    return {prompts ? set_command::prompts : set_command::assigns, arguments.substr(0, equals),
            arguments.substr(equals + 1), quoted};
}

folder_command parse_folder(std::string_view text) {
    const auto target = [](std::string_view arguments) {
        return before_blanks(after_blanks(arguments));
    };
    if (starts_with_word(text, "cd") || starts_with_word(text, "chdir")) {
        std::string_view arguments = target(text.substr(starts_with_word(text, "cd") ? 2 : 5));
        const bool with_drive = starts_with_word(arguments, "/d");
        if (with_drive) arguments = target(arguments.substr(2));
        return {arguments.empty() ? folder_command::shows : folder_command::changes, with_drive,
                arguments};
    }
    if (starts_with_word(text, "pushd")) {
        const std::string_view arguments = target(text.substr(5));
        return {arguments.empty() ? folder_command::shows : folder_command::pushes, false,
                arguments};
    }
    if (starts_with_word(text, "popd")) return {folder_command::pops, false, {}};
    if (text.size() >= 2 && is_letter(text[0]) && text[1] == ':' &&
        after_blanks(text.substr(2)).empty())
        return {folder_command::drive, false, text.substr(0, 2)};
    return {folder_command::none, false, {}};
}
