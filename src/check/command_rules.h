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
    std::vector<std::pair<std::size_t, std::string_view>> sets; // where, and the variable
    std::size_t exit_at = nowhere;                              // the first exit
};

// `line`: the logical line that `k` is a command of; offsets are into it.
void check_command(std::string_view line, const command &k, const text_finding &found,
                   const variable_read &read, command_effects &effects);
