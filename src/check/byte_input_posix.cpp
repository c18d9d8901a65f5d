#include "check/byte_input.h"

std::FILE *standard_input_as_bytes() {
    return stdin;
}
