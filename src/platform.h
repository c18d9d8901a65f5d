// What differs between Windows and POSIX: the console key wait, reading standard input, the
// file system's limits and identities, and the standard streams at start-up.
#pragma once

#include <cstddef>

// Takes the console's settings as the program finds them at start-up, before another program
// started beside it that waits on the same console may have changed them: where the key wait
// finds that program's key mode, it puts these back.
void take_console_mode();

// Waits for one key press on the console keyboard, without echo and without Enter, even when
// standard input is redirected. Returns at once where there is nobody at a console to press one:
// no console at all, or (on POSIX) a process in the background of its terminal, or one whose
// standard output is a pipe or a socket, whose reader is the program the user looks at. On
// POSIX the line is then ended on the terminal where standard output is that terminal, so that
// the shell's prompt starts on a line of its own, as it does after a Windows console program.
void console_wait_for_key();

// One read of standard input: the number of bytes read into `buffer`, 0 at the end of input,
// or -1 when reading failed. Interrupted reads are retried, and input that is not ready yet (a
// non-blocking descriptor handed down by the parent) is waited for.
long read_input(char *buffer, std::size_t size);

// Moves standard input back by `count` bytes, where it can (a file; not a pipe, a terminal).
void give_back_input(std::size_t count);

// The longest file name the system takes, in bytes.
extern const std::size_t path_limit;

// Whether `name` names a file that a standard stream is open on (the same file through any path
// or link): the script being read, or where the console text goes, which the conversion must
// never write. A terminal or a device such as /dev/null takes any text without harm, and is none.
bool is_standard_stream(const char *name);

// Makes sure the standard streams are open, so that no file the program opens takes the place
// of one and receives console text, and that a write to a pipe nobody reads or past the file
// size limit fails, as any other write can, instead of ending the program.
void prepare_standard_streams();
