// The program with the way of scanning named on its command line: `scan_path sse2 < script`
// converts as norvane does, through the same streams, but with that path. Without an argument
// it lists the paths this processor has, the one norvane takes last.
#include "converter.h"
#include "platform.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    dialogue_io io;
    for (const auto &path : scan_paths()) {
        if (argc < 2)
            std::printf("%s\n", path.name);
        else if (std::strcmp(argv[1], path.name) == 0)
            io.scan = path.scan;
    }
    if (argc < 2) return 0;
    if (io.scan == write_commands) {
        std::fprintf(stderr, "no scan path %s on this processor\n", argv[1]);
        return 2;
    }
    prepare_standard_streams();
    io.read = read_input;
    io.give_back = [](std::size_t count) { seek_input(-static_cast<long long>(count)); };
    io.show = [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); };
    io.wait_for_key = [] {};
    io.is_open_stream = is_standard_stream;
    return run_conversion(io);
}
