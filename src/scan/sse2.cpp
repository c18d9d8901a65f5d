// Classification with SSE2, which every 64-bit x86 processor has, and so do all but the oldest
// that run the 32-bit Windows program: 32-bit builds take it where the processor says so.
#if defined(__x86_64__) || defined(__i386__)
#include "scan/escapes.h"
#include "scan/lines.h"
#include "scan/paths.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>

// Everything up to the matching pop may use SSE2, which a 32-bit build may not assume: the scan
// is called only where runs_here() says the processor has it. The headers above are
// outside, so that none of their code is built with it.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("sse2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("sse2")
#endif

namespace scan_sse2 {
namespace {

#include "scan/steps.h"

std::uint64_t bits(__m128i set, int quarter) {
    return std::uint64_t(unsigned(_mm_movemask_epi8(set))) << 16 * quarter;
}

__m128i equal(__m128i b, char c) {
    return _mm_cmpeq_epi8(b, _mm_set1_epi8(c));
}

// Line feeds, '"', '\\' and '?' are common; the other masks are made only where one of their
// bytes is: control bytes other than tab and line feed, 0x7F and bytes from 0x80 up, which one
// signed comparison finds together (b + 1 < 0x21).
byte_masks classify(const char *bytes) {
    byte_masks m{};
    __m128i b[4], rare[4];
    std::uint64_t any_rare = 0;
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        b[i] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + 16 * i));
        const __m128i line_feed = equal(b[i], '\n');
        m.line_feed |= bits(line_feed, i);
        m.quoted |= bits(_mm_or_si128(equal(b[i], '"'), equal(b[i], '\\')), i);
        m.question |= bits(equal(b[i], '?'), i);
        const __m128i unusual =
            _mm_cmplt_epi8(_mm_add_epi8(b[i], _mm_set1_epi8(1)), _mm_set1_epi8(0x21));
        rare[i] = _mm_andnot_si128(_mm_or_si128(equal(b[i], '\t'), line_feed), unusual);
        any_rare |= bits(rare[i], i);
    }
    if (any_rare) {
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i) {
            const __m128i carriage_return = equal(b[i], '\r');
            m.carriage_return |= bits(carriage_return, i);
            m.high |= bits(b[i], i);
            m.other_control |= bits(_mm_andnot_si128(carriage_return, rare[i]), i);
        }
        m.other_control &= ~m.high;
    }
    return m;
}

} // namespace

commands_written write_commands(command_state &state, const char *from, const char *to,
                                input_end then, char *text, const char *text_limit) {
    return scan_commands<fast_step_by_marks>(state, from, to, then, text, text_limit);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

bool runs_here() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2");
}

} // namespace scan_sse2
#endif
