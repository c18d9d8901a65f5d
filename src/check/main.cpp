#include "check/byte_input.h"
#include "check/cli.h"

#include <cstdio>
#include <string_view>
#include <vector>

int main(int argc, char **argv) {
    static char out_buffer[1 << 16]; // findings of a long script go out in few writes
    std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return run_check(arguments, {standard_input_as_bytes(), stdout, stderr});
}
