#include "check/byte_input.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdlib>

std::FILE *standard_input_as_bytes() {
    _setmode(_fileno(stdin), _O_BINARY);
    return stdin;
}

void standard_output_as_bytes() {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

namespace {

DWORD saved_mode;

void restore_mode() {
    std::fflush(stdout); // what it holds is shown while the console takes colour
    SetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), saved_mode);
}

} // namespace

bool standard_output_shows_colour() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!GetConsoleMode(out, &saved_mode)) return false; // no console: a file or a pipe
    if (saved_mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
    // Consoles before Windows 10 do not take it, and show no colour.
    if (!SetConsoleMode(out, saved_mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return false;
    std::atexit(restore_mode); // the console as it was for what runs after
    return true;
}
