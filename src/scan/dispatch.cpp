// The way of scanning each call takes: the fastest this processor runs, looked up once.
#include "scan/paths.h"

std::vector<command_scan_path> scan_paths() {
    std::vector<command_scan_path> paths{{"scalar", scan_scalar::write_commands}};
#if defined(__x86_64__) || defined(__i386__)
    if (scan_sse2::runs_here()) paths.push_back({"sse2", scan_sse2::write_commands});
#endif
#if defined(__x86_64__)
    if (scan_avx512::runs_here()) paths.push_back({"avx512", scan_avx512::write_commands});
#endif
    return paths;
}

commands_written write_commands(command_state &state, const char *from, const char *to,
                                input_end then, char *text, const char *text_limit) {
    static const command_scanner fastest = scan_paths().back().scan;
    return fastest(state, from, to, then, text, text_limit);
}
