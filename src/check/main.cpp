#include "check/byte_input.h"
#include "check/cli.h"

#include <cstdio>
#include <string_view>
#include <vector>

int main(int argc, char **argv) {
    // Findings of a long script, and what keeps it from being flattened, go out in few writes.
    static char out_buffer[1 << 16], err_buffer[1 << 16];
    std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);
    std::setvbuf(stderr, err_buffer, _IOFBF, sizeof err_buffer);
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return run_check(arguments, {standard_input_as_bytes(), stdout, stderr,
                                 standard_output_as_bytes, standard_output_shows_colour()});
}
