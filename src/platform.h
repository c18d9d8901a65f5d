// What differs between Windows and POSIX: the console key wait, reading standard input, the
// file system's limits and identities, and the standard streams at start-up.
#pragma once

#include <cstddef>

// Waits for one key press on the console keyboard, without echo and without Enter, even when
// standard input is redirected. Returns at once where there is nobody at a console to press one:
// no console at all, or (on POSIX) a process in the background of its terminal.
void console_wait_for_key();

// One read of standard input: the number of bytes read into `buffer`, 0 at the end of input,
// or -1 when reading failed. Interrupted reads are retried, and input that is not ready yet (a
// non-blocking descriptor handed down by the parent) is waited for.
long read_input(char *buffer, std::size_t size);

// Moves standard input's offset by `offset` bytes from where it stands, and returns the new
// offset, or -1 where it cannot (a pipe, a terminal).
long long seek_input(long long offset);

// The longest file name the system takes, in bytes.
extern const std::size_t path_limit;

// Whether `name` names the file that standard input reads (the same file through any path or
// link), which the conversion must never overwrite.
bool is_standard_input(const char *name);

// Makes sure the standard streams are open, so that no file the program opens takes the place
// of one and receives console text.
void keep_standard_streams_open();
