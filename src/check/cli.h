// norvane-check's run: its options, the scripts it reads, and what it tells of them.
#pragma once

#include <cstdio>
#include <string_view>
#include <vector>

struct check_streams {
    std::FILE *standard_input;    // read as bytes, for the script named -
    std::FILE *out;               // the findings, or the flattened script, and nothing else
    std::FILE *err;               // the total, and what could not be read or flattened
    void (*out_as_bytes)();       // makes `out` write a flattened script's bytes as they are
    bool out_is_terminal = false; // a terminal that shows colour
};

// The whole run, for the arguments after the program's name; returns the exit status: 0 where
// nothing but notes was found, 1 where a warning or an error was, 2 where a script could not be
// read, the findings could not be written or the options are wrong.
int run_check(const std::vector<std::string_view> &arguments, const check_streams &streams);
