#include "check/byte_input.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

std::FILE *standard_input_as_bytes() {
    return stdin;
}

void standard_output_as_bytes() {}

bool standard_output_shows_colour() {
    const char *term = std::getenv("TERM");
    return isatty(STDOUT_FILENO) && !(term && std::strcmp(term, "dumb") == 0);
}
