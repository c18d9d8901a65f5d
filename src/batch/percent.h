// The % forms of a line as a batch file expands them, before it reads quotes, carets or
// brackets: what each one is and where it ends. A form never reaches past a line feed, since a
// batch file expands each line of the script as it reads it. Returns spans and names, and
// judges nothing.
#pragma once

#include <cstddef>
#include <string_view>

enum class percent_kind {
    doubled,      // %%: a batch file's %, or with a letter after it the start of a for variable
    argument,     // %0 to %9, %*, %~dp0, %~$PATH:1: an argument of the batch file
    variable,     // %NAME%
    substring,    // %NAME:~a,b%
    substitution, // %NAME:old=new%
    bad_edit,     // %NAME:...% that is neither
    lone,         // a % with no partner on its line, which a batch file drops
};

struct percent_form {
    percent_kind kind;
    std::size_t at, end;   // from the first % to past the form
    std::string_view name; // the variable's name, or the argument's digit or *
    std::string_view edit; // the modifiers after an argument's ~, or what follows NAME's colon
};

// The form that starts at `text[at]`, a %.
percent_form percent_at(std::string_view text, std::size_t at);

// A for variable written as a batch file writes it, %%x or %%~fx or %%~$PATH:x, at `text[at]`:
// the end of it, or `nowhere`. Its letter is `text[end - 1]`.
std::size_t loop_variable_end(std::string_view text, std::size_t at);
