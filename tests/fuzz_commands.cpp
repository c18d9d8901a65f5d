// libFuzzer target: whole dialogues on any bytes, arriving in pieces of any sizes, against the
// plain reference.
#include "differential.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

struct output_file {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("norvane-fuzz-" + std::to_string(getpid()) + ".c"))
                           .string();
    ~output_file() { std::filesystem::remove(path); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const output_file out;
    if (size < 3) return 0;
    // The first three bytes choose the sizes of the pieces; the rest follows the name line.
    const std::vector<std::size_t> sizes{data[0] + 1u, data[1] % 8 + 1u, data[2] * 64 + 1u};
    const std::string commands(reinterpret_cast<const char *>(data) + 3, size - 3);
    const std::string differences =
        differences_from_reference(commands, sizes, out.path, write_commands);
    if (!differences.empty()) {
        std::fprintf(stderr, "%s\n", differences.c_str());
        std::abort();
    }
    return 0;
}
