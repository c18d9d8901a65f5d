#include "check/byte_input.h"

#include <fcntl.h>
#include <io.h>

std::FILE *standard_input_as_bytes() {
    _setmode(_fileno(stdin), _O_BINARY);
    return stdin;
}

void standard_output_as_bytes() {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}
