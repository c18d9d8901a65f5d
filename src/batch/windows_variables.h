// The variables Windows gives every program, which a script may read without setting them.
#pragma once

#include <string_view>

// Whether Windows sets `name` for every program (PATH, SystemRoot, ...): a variable the script
// reads but never sets is then the same in the batch file and in the program.
bool always_set(std::string_view name);

// Whether cmd gives `name` a value of its own at any moment (CD, ERRORLEVEL, ...), in a batch
// file and in a command line alike, where nothing set it.
bool dynamic_variable(std::string_view name);
