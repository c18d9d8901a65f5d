// One conversion: the console dialogue that turns typed commands into a C program.
#pragma once

#include "source_layout.h"

#include <cstddef>
#include <functional>
#include <string_view>

// What the dialogue reads, shows and asks of the outside: main wires the real ones, the tests
// their own.
struct dialogue_io {
    // One read of the input into `bytes`: what it brings (a line when a person types), 0 at the
    // end of input, or -1 when reading failed.
    std::function<long(char *bytes, std::size_t size)> read;
    // Moves the input back by `count` bytes read past the terminator, where it can (a file), so
    // that whoever reads on finds them.
    std::function<void(std::size_t count)> give_back;
    // Shows console text at once.
    std::function<void(std::string_view text)> show;
    // The final key press.
    std::function<void()> wait_for_key;
    // Whether `name` is that of a file a standard stream is open on.
    std::function<bool(const char *name)> is_open_stream;
    // How the command lines are scanned: the fastest way this processor has, unless a test picks.
    command_scanner scan = write_commands;
};

// Runs one whole conversion and returns the exit status.
int run_conversion(const dialogue_io &io);

// The real ones: standard input, the console and its key wait, the system's files. Makes sure
// the standard streams are open first.
dialogue_io standard_io();
