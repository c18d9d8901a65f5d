// The scan of command lines into their `system` calls: what a caller hands over, what it gets
// back, and what it must keep between two calls.
#pragma once

#include <cstddef>

// Where the conversion of the command lines stands between two calls of write_commands. The
// dialogue holds it; the scan keeps nothing of its own.
struct command_state {
    bool in_command = false;     // the current line's call is open: its start is written
    bool after_question = false; // the last byte taken was a '?'
    bool octal_run = false;      // amid a run of bytes from 0x80 up written in octal
};

enum class stop_reason {
    needs_input, // all that could be decided is taken; the rest waits for more input
    text_full,   // the text passed its limit: write it out, then call again from `next`
    terminator,  // the terminator line is taken, and nothing after it
};

struct commands_written {
    const char *next; // the first byte not taken
    char *text_end;
    stop_reason reason;
};

// A byte from 0x80 up is written in octal when the text of the byte after it starts with a
// backslash, or when it ends its command, so that no double-byte code page can read it and the
// backslash (or the closing quote) as one character. A run of such bytes is decided as a whole;
// a run longer than this is written in octal without waiting for what follows it.
constexpr std::size_t longest_held_run = 1024;

// Bytes that write_commands may read past the end of its input, and must find allocated.
constexpr std::size_t input_slack = 64;

// The room write_commands needs past `text_limit`, whatever its input: it stops once a 64-byte
// step has taken the text past the limit, and no step writes more than this.
constexpr std::size_t text_room = 4096;

// What follows the input handed to write_commands.
enum class input_end {
    more,    // more input may follow
    at_end,  // the input ends: a last line without a line end is still a line, the terminator too
    by_error // reading failed: the last line, maybe cut short, is written, and is never taken for
             // the terminator, whose missing rest may say otherwise ("endlocal")
};

// Writes a `system` call line for each line of [from, to) up to the terminator line "end", to
// `text`. Unless input_end::more follows, the input ends at `to`. Otherwise what cannot be
// decided yet (a line that may still be the terminator, a carriage return that may start a line
// end, a run of bytes from 0x80 up) is left at the end, at most longest_held_run bytes, for the
// caller to hand over again with the input that follows. The call stops early once the text
// passes `text_limit`, past which it needs text_room bytes of room. It scans in the fastest way
// this processor has (scan/paths.h).
commands_written write_commands(command_state &state, const char *from, const char *to,
                                input_end then, char *text, const char *text_limit);

using command_scanner = decltype(&write_commands);
