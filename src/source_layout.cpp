#include "source_layout.h"

#include "scan_paths.h"

#include <cstring>

const char header[300] = "/*\nNorvane\nBy qortez7\n*/\n";
const char incs[200] =
    "#include <stdio.h>\n#include <conio.h>\n#include <stdlib.h>\nint main()\n{\n";
const char end[50] = "\tgetch();\n}";

namespace {

char *write_text(char *text, const char *fixed) {
    const std::size_t size = std::strlen(fixed);
    std::memcpy(text, fixed, size);
    return text + size;
}

} // namespace

char *write_opening(char *text) {
    return write_text(write_text(text, header), incs);
}

char *write_closing(char *text) {
    return write_text(write_text(write_text(text, "\tprintf(\"\\n\");"), "\n"), end);
}

std::vector<command_scan_path> scan_paths() {
    std::vector<command_scan_path> paths{{"scalar", scan_scalar}};
#if defined(__x86_64__) || defined(__i386__)
    if (sse2_scan_runs_here()) paths.push_back({"sse2", scan_with_sse2});
#endif
#if defined(__x86_64__)
    if (avx512_scan_runs_here()) paths.push_back({"avx512", scan_with_avx512});
#endif
    return paths;
}

commands_written write_commands(command_state &state, const char *from, const char *to,
                                input_end then, char *text, const char *text_limit) {
    static const command_scanner fastest = scan_paths().back().scan;
    return fastest(state, from, to, then, text, text_limit);
}
