// One conversion: the console dialogue that turns typed commands into a C program.
#pragma once

#include <functional>
#include <istream>
#include <ostream>

// Runs one whole conversion, reading the file name and commands from `in` and showing the
// dialogue on `out`; `wait_for_key` is the final key press. Returns the exit status.
int run_conversion(std::istream &in, std::ostream &out, const std::function<void()> &wait_for_key);
