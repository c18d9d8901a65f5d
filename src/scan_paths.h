// The ways of scanning command lines, one for each way of classifying bytes: each is
// write_commands, and all write the same text.
#pragma once

#include "source_layout.h"

// GCC vector types, which the compiler turns into what the processor has, or into plain
// integers (the 32-bit Windows build).
commands_written scan_portably(command_state &state, const char *from, const char *to,
                               input_end then, char *text, const char *text_limit);

#if defined(__SSE2__)
// SSE2, which every 64-bit x86 processor has.
commands_written scan_with_sse2(command_state &state, const char *from, const char *to,
                                input_end then, char *text, const char *text_limit);
#endif

#if defined(__x86_64__)
// AVX-512 (BW, VBMI and VBMI2) with BMI2, where the processor has them.
commands_written scan_with_avx512(command_state &state, const char *from, const char *to,
                                  input_end then, char *text, const char *text_limit);
bool avx512_scan_runs_here();
#endif
