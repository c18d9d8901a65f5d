// What each command means for the lines after it, or for itself, once each line runs alone:
// rules keyed by the command's name.
#pragma once

#include "batch/lexer.h"
#include "check/text_scan.h"

#include <string_view>
#include <utility>
#include <vector>

// What the commands of a logical line leave for the lines after it.
struct command_effects {
    struct set {
        std::size_t at;
        std::string_view name;
        bool followed; // more commands follow it on its line, which it gave its value
    };
    std::vector<set> sets;
    std::vector<std::string_view> computed; // the names a set /a may give a value
    // The first commands after which a batch file runs no later line: an exit, and a batch
    // file started without call, and its name.
    std::size_t exit_at = nowhere, batch_at = nowhere;
    std::string_view batch_name;
    std::size_t goto_at = nowhere; // a goto that always runs
    // Whether any variable may be set from here on, or lines run out of turn: a call, a goto,
    // a set of a name made as the line runs.
    bool any_set = false;
    std::vector<std::size_t> empty_tests; // the % of each %NAME% an if compares with nothing
};

// `line`: the logical line that `k` is a command of; offsets are into it.
void check_command(std::string_view line, const command &k, const text_finding &found,
                   const variable_read &read, command_effects &effects);
