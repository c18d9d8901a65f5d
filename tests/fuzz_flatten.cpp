// libFuzzer target: norvane-check --flatten on any bytes as a script, with and without the
// script's path. It must not crash, and whatever it writes, norvane-check finds nothing in but
// notes, read as the script it is.
#include "batch/script_lines.h"
#include "check/script_checker.h"
#include "flatten/flattener.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE *in = fmemopen(const_cast<std::uint8_t *>(data), size, "rb");
    std::string flat;
    bool refused = false;
    flattener f(
        {size % 2 ? "C:\\proj\\build.bat" : ""},
        [&](std::string_view text, std::string_view end) { flat.append(text).append(end); },
        [&](const finding &) { refused = true; });
    read_lines(in, [&](std::string_view line, std::string_view end) { f.add_line(line, end); });
    f.finish();
    std::fclose(in);
    if (refused) return 0;
    std::FILE *out = fmemopen(flat.data(), flat.size(), "rb");
    if (!out) return 0; // nothing written
    script_checker checker([&](const finding &found) {
        if (severity_of(found.message) == severity::note) return;
        std::string text;
        append_message(text, found);
        std::fprintf(stderr, "flattened into what norvane-check names at %llu:%llu: %s\n%s\n",
                     static_cast<unsigned long long>(found.line),
                     static_cast<unsigned long long>(found.column), text.c_str(), flat.c_str());
        std::abort();
    });
    read_lines(out, [&](std::string_view line) { checker.check_line(line); });
    checker.finish();
    std::fclose(out);
    return 0;
}
