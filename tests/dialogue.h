// Whole dialogues in-process: input given as bytes and read in pieces, the console kept.
#pragma once

#include "converter.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

// Input read in pieces whose sizes are taken in turn from `sizes` (a pipe brings what was
// written, a terminal a line), then the end of input or, with `then_fails`, a failed read.
// Like a file, it takes back what is given back.
struct scripted_input {
    std::string data;
    std::vector<std::size_t> sizes{data.size()};
    bool then_fails = false;
    std::function<void()> on_read = [] {};
    std::size_t position = 0;
    std::size_t next_size = 0;

    long read(char *bytes, std::size_t size) {
        on_read();
        if (position == data.size()) return then_fails ? -1 : 0;
        size = std::min({size, data.size() - position,
                         std::max<std::size_t>(1, sizes[next_size++ % sizes.size()])});
        std::memcpy(bytes, data.data() + position, size);
        position += size;
        return long(size);
    }
};

struct conversation {
    std::string console;
    int status = 0;
    int key_waits = 0;
    std::string console_at_key_wait; // what the console showed when the key wait began
};

// Runs a whole conversion of `input` into `talk`, with `scan` for the command lines.
inline void converse(scripted_input &input, conversation &talk,
                     command_scanner scan = write_commands) {
    dialogue_io io;
    io.input = {[&](char *bytes, std::size_t size) { return input.read(bytes, size); },
                [&](std::size_t count) { input.position -= count; }};
    io.show = [&](std::string_view text) { talk.console += text; };
    io.wait_for_key = [&] {
        ++talk.key_waits;
        talk.console_at_key_wait = talk.console;
    };
    io.is_standard_stream = [](const char *) { return false; };
    io.path_limit = 4096;
    io.scan = scan;
    talk.status = run_conversion(io);
}
