// libFuzzer target: whole dialogues on any bytes, arriving in pieces of any sizes, against the
// plain reference, with the way of scanning named FUZZED_SCAN.
#include "differential.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

command_scanner fuzzed_scan() {
    for (const auto &path : scan_paths())
        if (std::string(path.name) == FUZZED_SCAN) return path.scan;
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    if (!fuzzed_scan()) {
        std::printf("the %s scan cannot run on this processor\n", FUZZED_SCAN);
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const temp_dir folder;
    static const std::string out = folder / "out.c";
    static const command_scanner scan = fuzzed_scan();
    if (size < 3) return 0;
    // The first three bytes choose the sizes of the pieces; the rest follows the name line.
    const std::vector<std::size_t> sizes{data[0] + 1u, data[1] % 8 + 1u, data[2] * 64 + 1u};
    const std::string commands(reinterpret_cast<const char *>(data) + 3, size - 3);
    const std::string differences = differences_from_reference(commands, sizes, out, scan);
    if (!differences.empty()) {
        std::fprintf(stderr, "%s\n", differences.c_str());
        std::abort();
    }
    return 0;
}
