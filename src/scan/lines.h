// The line rules of the scan, the same for every way of scanning: which line is the terminator,
// and which bytes at the end of the input must wait for the input after them.
#pragma once

#include "scan/commands.h"

#include <cstdint>
#include <cstring>

// The length of the terminator line at `line`, line end included, or 0 where it is none.
inline std::size_t terminator_at(const char *line, const char *to, input_end then) {
    const auto size = static_cast<std::size_t>(to - line);
    if (line[0] != 'e' || size < 3 || std::memcmp(line, "end", 3) != 0) return 0;
    if (size >= 4 && line[3] == '\n') return 4;
    if (size >= 5 && line[3] == '\r' && line[4] == '\n') return 5;
    return then == input_end::at_end && (size == 3 || (size == 4 && line[3] == '\r')) ? size : 0;
}

// Whether a line feed and "end" start at `line_feed`: most line ends are ruled out by this one
// load, and only the rest need terminator_at.
inline bool line_feed_then_end(const char *line_feed) {
    std::uint32_t four;
    std::memcpy(&four, line_feed, 4);
    std::uint32_t line_feed_end;
    std::memcpy(&line_feed_end, "\nend", 4);
    return __builtin_expect(four == line_feed_end, 0);
}

// Where the bytes of [from, to) start that cannot be decided before more input comes (`to` if
// there are none): a line that may still be the terminator, a carriage return that may start a
// line end, a run of bytes from 0x80 up short enough to hold.
const char *undecided_tail(const command_state &state, const char *from, const char *to);
