// One conversion: the console dialogue that turns typed commands into a C program.
#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>

// Runs one whole conversion, reading the file name and commands from `in` and showing the
// dialogue on `out`; `wait_for_key` is the final key press, and `is_open_stream` tells whether
// a name is that of a file the standard streams are open on. Returns the exit status.
int run_conversion(std::istream &in, std::ostream &out, const std::function<void()> &wait_for_key,
                   const std::function<bool(const std::string &)> &is_open_stream);
