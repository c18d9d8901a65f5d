// The program with the way of scanning named on its command line: `scan_path sse2 < script`
// converts as norvane does, through the same streams, but with that path. Without an argument
// it lists the paths this processor has, the one norvane takes last.
#include "scan/paths.h"
#include "standard_io.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    dialogue_io io = standard_io();
    io.wait_for_key = [] {};
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
    return run_conversion(io);
}
