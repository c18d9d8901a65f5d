// libFuzzer target: norvane-check on any bytes as a script. It must not crash, and each finding
// must point at a line of the script and at most one past the line's end.
#include "check/script_checker.h"
#include "check/script_lines.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    std::vector<std::size_t> line_sizes;
    std::FILE *in = fmemopen(const_cast<std::uint8_t *>(data), size, "rb");
    read_lines(in, [&](std::string_view line) { line_sizes.push_back(line.size()); });
    std::rewind(in);
    std::string text;
    script_checker checker([&](const finding &f) {
        if (f.line == 0 || f.line > line_sizes.size() || f.column == 0 ||
            f.column > line_sizes[f.line - 1] + 1) {
            std::fprintf(stderr, "finding at %llu:%llu, outside the script\n",
                         static_cast<unsigned long long>(f.line),
                         static_cast<unsigned long long>(f.column));
            std::abort();
        }
        append_message(text, f);
    });
    read_lines(in, [&](std::string_view line) { checker.check_line(line); });
    checker.finish();
    std::fclose(in);
    return 0;
}
