#include "check/byte_input.h"

std::FILE *standard_input_as_bytes() {
    return stdin;
}

void standard_output_as_bytes() {}
