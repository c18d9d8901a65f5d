#include "standard_io.h"

#include "platform.h"

#include <cstdio>

dialogue_io standard_io() {
    prepare_standard_streams();
    dialogue_io io;
    io.input = {read_input, give_back_input};
    // Every text is shown before the next read, which may wait for a person to type.
    io.show = [](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    };
    io.wait_for_key = console_wait_for_key;
    io.is_standard_stream = is_standard_stream;
    io.path_limit = path_limit;
    return io;
}
