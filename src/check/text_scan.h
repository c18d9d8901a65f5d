// The % and ! forms of a line's text, which a batch file expands before it reads anything else,
// and a command line otherwise: what each one will do in the program, and which variables the
// text reads.
#pragma once

#include "check/rules.h"

#include <cstddef>
#include <functional>
#include <string_view>

using text_finding = std::function<void(std::size_t at, message_id, std::string_view subject)>;
using variable_read = std::function<void(std::string_view name)>;

// `code`: one line of the script, or the part of it before a comment. `in_loop`: whether %%x
// there can be a for variable.
void scan_text(std::string_view code, bool in_loop, const text_finding &found,
               const variable_read &read);
