// The ways of scanning command lines, one for each way of classifying bytes. Each has a
// write_commands of its own, which writes the same text as every other; the write_commands of
// scan/commands.h hands each call to the fastest that runs here.
#pragma once

#include "scan/commands.h"

#include <vector>

// A byte at a time, on any processor.
namespace scan_scalar {
commands_written write_commands(command_state &state, const char *from, const char *to,
                                input_end then, char *text, const char *text_limit);
}

#if defined(__x86_64__) || defined(__i386__)
// SSE2: every 64-bit x86 processor has it, and a 32-bit one may not, which runs_here() asks.
namespace scan_sse2 {
commands_written write_commands(command_state &state, const char *from, const char *to,
                                input_end then, char *text, const char *text_limit);
bool runs_here();
} // namespace scan_sse2
#endif

#if defined(__x86_64__)
// AVX-512 (F, BW, VBMI and VBMI2) with BMI and BMI2, where the processor has them.
namespace scan_avx512 {
commands_written write_commands(command_state &state, const char *from, const char *to,
                                input_end then, char *text, const char *text_limit);
bool runs_here();
} // namespace scan_avx512
#endif

struct command_scan_path {
    const char *name;
    command_scanner scan;
};

// The ways this processor can run, the scalar one first and the fastest last.
std::vector<command_scan_path> scan_paths();
