#include "scan/lines.h"

#include "scan/escapes.h"

const char *undecided_tail(const command_state &state, const char *from, const char *to) {
    if (from == to) return to;
    // A line that so far reads as the start of "end\r\n" may still be the terminator.
    for (std::size_t size = 1; size <= 4 && size <= std::size_t(to - from); ++size) {
        const char *line = to - size;
        const bool line_start = line == from ? !state.in_command : line[-1] == '\n';
        if (line_start && std::memcmp(line, "end\r", size) == 0) return line;
    }
    if (to[-1] == '\r') return to - 1; // perhaps the first half of a line end
    // A run of bytes from 0x80 up waits for the byte after it, unless it is too long to hold.
    const char *run = to;
    while (run != from && is_high(run[-1]) && std::size_t(to - run) <= longest_held_run)
        --run;
    const bool too_long =
        std::size_t(to - run) > longest_held_run || (run == from && state.octal_run);
    return too_long ? to : run;
}
