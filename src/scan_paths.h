// The ways of scanning command lines, one for each way of classifying bytes: each is
// write_commands, and all write the same text.
#pragma once

#include "source_layout.h"

// A byte at a time, on any processor.
commands_written scan_scalar(command_state &state, const char *from, const char *to, input_end then,
                             char *text, const char *text_limit);

#if defined(__x86_64__) || defined(__i386__)
// SSE2, which every 64-bit x86 processor has, where the processor has it.
commands_written scan_with_sse2(command_state &state, const char *from, const char *to,
                                input_end then, char *text, const char *text_limit);
bool sse2_scan_runs_here();
#endif

#if defined(__x86_64__)
// AVX-512 (BW, VBMI and VBMI2) with BMI2, where the processor has them.
commands_written scan_with_avx512(command_state &state, const char *from, const char *to,
                                  input_end then, char *text, const char *text_limit);
bool avx512_scan_runs_here();
#endif
