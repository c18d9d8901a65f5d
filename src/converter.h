// One conversion: the console dialogue that turns typed commands into a C program.
#pragma once

#include "scan/commands.h"
#include "streams.h"

#include <cstddef>
#include <functional>
#include <string_view>

// What the dialogue reads, shows and asks of the outside: main wires the real ones
// (standard_io.h), the tests their own.
struct dialogue_io {
    input_source input;
    // Shows console text at once.
    std::function<void(std::string_view text)> show;
    // The final key press.
    std::function<void()> wait_for_key;
    // Whether `name` is that of a file a standard stream is open on.
    std::function<bool(const char *name)> is_standard_stream;
    // The longest file name the system takes, in bytes.
    std::size_t path_limit;
    // How the command lines are scanned: the fastest way this processor has, unless a test picks.
    command_scanner scan = write_commands;
};

// Runs one whole conversion and returns the exit status.
int run_conversion(const dialogue_io &io);
