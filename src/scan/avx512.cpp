// Classification with AVX-512 (F, BW, VBMI and VBMI2), BMI and BMI2, where the processor has
// them: one comparison a mask for all 64 bytes. The fast step escapes the whole step at once, by
// expanding its bytes into their text, and then visits only its line ends.
#if defined(__x86_64__)
#include "scan/escapes.h"
#include "scan/lines.h"
#include "scan/paths.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <immintrin.h>

// Everything up to the matching pop may use these instructions: the scan is called only where
// runs_here() says the processor has them. The headers above are outside, so that
// none of their code is built with them.
#if defined(__clang__)
#pragma clang attribute push(                                                                      \
    __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt"))),            \
    apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")
#endif

namespace scan_avx512 {
namespace {

#include "scan/steps.h"

__mmask64 equal(__m512i b, char c) {
    return _mm512_cmpeq_epi8_mask(b, _mm512_set1_epi8(c));
}

byte_masks classify(const char *bytes) {
    const __m512i b = _mm512_loadu_si512(bytes);
    byte_masks m;
    m.line_feed = equal(b, '\n');
    m.carriage_return = equal(b, '\r');
    m.quoted = equal(b, '"') | equal(b, '\\');
    m.question = equal(b, '?');
    m.high = _mm512_movepi8_mask(b);
    const __mmask64 control = _mm512_cmplt_epu8_mask(b, _mm512_set1_epi8(0x20));
    m.other_control =
        (control & ~(equal(b, '\t') | m.line_feed | m.carriage_return)) | equal(b, 0x7F);
    return m;
}

// Whether a line in the step starts with "end" (bit i: a line feed at i - 1, then "end"): such a
// step is left to the general step, which tells whether the line is the terminator.
bool step_has_end_line(const char *p, std::uint64_t line_feeds) {
    const __m512i b0 = _mm512_loadu_si512(p), b1 = _mm512_loadu_si512(p + 1),
                  b2 = _mm512_loadu_si512(p + 2);
    return (line_feeds << 1 & equal(b0, 'e') & equal(b1, 'n') & equal(b2, 'd')) != 0;
}

// The 32 bytes at `from`, with a backslash before each byte whose bit is set in `escapes`. They
// take 64 slots, two a byte: the backslash's, used where the byte is escaped, and the byte's.
// Dropping the unused slots gives where the bytes go, and one expansion puts them there, with
// backslashes between.
__m512i expand_half(const char *from, std::uint64_t escapes) {
    constexpr std::uint64_t byte_slots = 0xAAAAAAAAAAAAAAAA, backslash_slots = ~byte_slots;
    const __m512i bytes = _mm512_maskz_loadu_epi8(0xFFFFFFFF, from);
    const std::uint64_t used = byte_slots | _pdep_u64(escapes, backslash_slots);
    return _mm512_mask_expand_epi8(_mm512_set1_epi8('\\'), _pext_u64(byte_slots, used), bytes);
}

// 0, 1, ..., 63: each byte its own number.
__m512i byte_numbers() {
    return _mm512_set_epi8(63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46,
                           45, 44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28,
                           27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10,
                           9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
}

// The step's bytes escaped, as 128 bytes in two registers, of which `size` are its text.
struct escaped_step {
    __m512i low, high;
    int size;

    // The 64 bytes from `at`.
    __m512i from(int at) const {
        const __m512i index = _mm512_add_epi8(byte_numbers(), _mm512_set1_epi8(char(at)));
        return _mm512_permutex2var_epi8(low, index, high);
    }
};

// Each half escaped on its own, then the second moved up to follow the first without a gap.
escaped_step escape_step(const char *p, std::uint64_t escaped) {
    const __m512i first = expand_half(p, escaped & 0xFFFFFFFF),
                  second = expand_half(p + 32, escaped >> 32);
    const int first_size = 32 + int(_mm_popcnt_u64(escaped & 0xFFFFFFFF));
    const __m512i shift = _mm512_set1_epi8(char(64 - first_size));
    const __mmask64 past_first = ~_bzhi_u64(~std::uint64_t(0), unsigned(first_size));
    const __m512i low_index =
        _mm512_mask_add_epi8(byte_numbers(), past_first, byte_numbers(), shift);
    const __m512i high_index = _mm512_add_epi8(byte_numbers(), shift);
    return {_mm512_permutex2var_epi8(first, low_index, second),
            _mm512_maskz_permutexvar_epi8(~__mmask64(0), high_index, second),
            64 + int(_mm_popcnt_u64(escaped))};
}

void store(char *text, __m512i bytes) {
    _mm512_storeu_si512(text, bytes);
}

// The fast step by line ends: the step is escaped as a whole, then written piece by piece, a
// line break at each line end.
step_end fast_step_by_line_ends(cursor &c, const byte_masks &m) {
    const std::uint64_t escaped = m.quoted | c.second_questions(m);
    const auto [line_end_bits, crlf] = line_ends(m);
    if (!line_end_bits) { // most steps of long lines: both halves go out as they are
        const int first_size = 32 + int(_mm_popcnt_u64(escaped & 0xFFFFFFFF));
        store(c.text, expand_half(c.p, escaped & 0xFFFFFFFF));
        store(c.text + first_size, expand_half(c.p + 32, escaped >> 32));
        c.text += 64 + _mm_popcnt_u64(escaped);
        c.p += 64;
        return {};
    }
    if (step_has_end_line(c.p, m.line_feed)) return general_step(c, m);
    const escaped_step step = escape_step(c.p, escaped);
    int start = 0; // of the text not written yet
    for (std::uint64_t left = line_end_bits; left; left &= left - 1) {
        const unsigned at = unsigned(lowest_bit(left));
        const int end = int(at + _mm_popcnt_u64(_bzhi_u64(escaped, at)));
        store(c.text, step.from(start));
        if (__builtin_expect(end - start > 64, 0)) store(c.text + 64, step.from(start + 64));
        c.text = write_mark(c.text + (end - start), '\n');
        start = end + 1 + int(crlf >> at & 1);
    }
    store(c.text, step.from(start));
    store(c.text + 64, step.from(start + 64));
    c.text += step.size - start;
    c.p += 64;
    return {};
}

} // namespace

commands_written write_commands(command_state &state, const char *from, const char *to,
                                input_end then, char *text, const char *text_limit) {
    return scan_commands<fast_step_by_line_ends>(state, from, to, then, text, text_limit);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

bool runs_here() {
    __builtin_cpu_init();
    // Every extension that the code above is built for.
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
           __builtin_cpu_supports("popcnt");
}

} // namespace scan_avx512
#endif
