#include "source_layout.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__) && !defined(NORVANE_PORTABLE_SCAN)
#include <emmintrin.h>
#endif

const char header[300] = "/*\nNorvane\nBy qortez7\n*/\n";
const char incs[200] =
    "#include <stdio.h>\n#include <conio.h>\n#include <stdlib.h>\nint main()\n{\n";
const char end[50] = "\tgetch();\n}";

void write_opening(std::string &text) {
    text += header;
    text += incs;
}

void write_closing(std::string &text) {
    text += "\tprintf(\"\\n\");";
    text += '\n';
    text += end;
}

namespace {

// How a byte is written inside the C string literal when it is not copied as it is, so that the
// compiled program hands exactly the typed bytes to system(): '"', '\\' and a '?' right after a
// '?' (no trigraph may form) get a backslash; control bytes other than tab, 0x7F and bytes from
// 0x80 up that must not stand as they are become three-digit octal escapes, which cannot
// swallow a following digit.
struct escape {
    char text[4];
    unsigned char size;
};

constexpr std::array<escape, 256> make_escapes() {
    std::array<escape, 256> table{};
    for (int b = 0; b < 256; ++b) {
        if (b == '"' || b == '\\' || b == '?')
            table[b] = {{'\\', char(b)}, 2};
        else
            table[b] = {
                {'\\', char('0' + (b >> 6)), char('0' + ((b >> 3) & 7)), char('0' + (b & 7))}, 4};
    }
    return table;
}

constexpr std::array<escape, 256> escapes = make_escapes();

bool is_high(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

// Whether the text of byte `c`, after a byte from 0x80 up, starts with a backslash or ends the
// command: a '?' there is never a second one, so it is not among these.
bool ends_or_escapes(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b < 0x20 && b != '\t') || b == 0x7F || b == '"' || b == '\\';
}

// Three masks over 64 bytes, bit i for byte i:
//
//   bytes      e c h o   " a ? ? b "   \ 8 3 \ 8 3   x  (83: a byte from 0x80 up)
//   special    . . . . . 1 . . . . 1 . 1 . . 1 . . . .  control bytes, '"', '\\', 0x7F
//   question   . . . . . . . 1 1 . . . . . . . . . . .
//   high       . . . . . . . . . . . . . 1 . . 1 . . .
//
// The scan below derives what needs a look from them:
//   second '?' = question & (question << 1 | the byte before the 64 was '?')
//   escaped    = special | second '?'               (their text starts with a backslash,
//                                                   or they end the line)
//   look       = escaped | high & (escaped >> 1 | bit 63)
// A byte from 0x80 up needs a look only right before an escaped byte, or as the last of the 64,
// whose follower is out of view; the look then decides its whole run (the second 83 above is
// marked, the first is not). The bytes between marks are copied as they are.
struct byte_masks {
    std::uint64_t special, question, high;
};

#if defined(__SSE2__) && !defined(NORVANE_PORTABLE_SCAN)

byte_masks classify(const char *bytes) {
    byte_masks m{0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + 16 * i));
        const __m128i control =
            _mm_andnot_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8('\t')),
                             _mm_cmpeq_epi8(_mm_min_epu8(b, _mm_set1_epi8(0x1F)), b));
        const __m128i special =
            _mm_or_si128(_mm_or_si128(control, _mm_cmpeq_epi8(b, _mm_set1_epi8(0x7F))),
                         _mm_or_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8('"')),
                                      _mm_cmpeq_epi8(b, _mm_set1_epi8('\\'))));
        const int shift = 16 * i;
        m.special |= std::uint64_t(unsigned(_mm_movemask_epi8(special))) << shift;
        m.question |=
            std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(b, _mm_set1_epi8('?')))))
            << shift;
        m.high |= std::uint64_t(unsigned(_mm_movemask_epi8(b))) << shift;
    }
    return m;
}

#else // GCC vector types: the compiler uses what the machine has, or plain integers

using lanes = unsigned char __attribute__((vector_size(16)));

// One bit per lane of a comparison result (each lane 0 or 0xFF): the multiplication moves the
// top bit of byte j of each half to bit 56 + j, and no two products overlap.
std::uint64_t lane_bits(lanes set) {
    std::uint64_t half[2];
    std::memcpy(half, &set, sizeof half);
    const auto gather = [](std::uint64_t h) {
        return ((h & 0x8080808080808080u) * 0x0002040810204081u) >> 56;
    };
    return gather(half[0]) | gather(half[1]) << 8;
}

byte_masks classify(const char *bytes) {
    byte_masks m{0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        lanes b;
        std::memcpy(&b, bytes + 16 * i, sizeof b);
        const auto special = ((b < 0x20) & (b != '\t')) | (b == 0x7F) | (b == '"') | (b == '\\');
        const int shift = 16 * i;
        m.special |= lane_bits(lanes(special)) << shift;
        m.question |= lane_bits(lanes(b == '?')) << shift;
        m.high |= lane_bits(lanes(b >= 0x80)) << shift;
    }
    return m;
}

#endif

static_assert(std::endian::native == std::endian::little, "bit i of a mask is byte i");

// The bytes in [from, to), at most 64, copied with one copy of fixed size: the caller's buffers
// have room for all 64, and what lies past `to` is written over next.
char *copy_plain(char *text, const char *from, const char *to) {
    std::memcpy(text, from, 64);
    return text + (to - from);
}

template <std::size_t size> char *copy_text(char *text, const char (&fixed)[size]) {
    std::memcpy(text, fixed, size - 1);
    return text + size - 1;
}

char *write_octal(char *text, const char *from, const char *to) {
    for (; from != to; ++from) {
        std::memcpy(text, escapes[static_cast<unsigned char>(*from)].text, 4);
        text += 4;
    }
    return text;
}

constexpr char call_start[] = "\tsystem(\"";
constexpr char call_end[] = "\");\n";

// The length of the terminator line at `line`, line end included, or 0 where it is none.
std::size_t terminator_at(const char *line, const char *to, bool last) {
    const auto size = static_cast<std::size_t>(to - line);
    if (line[0] != 'e' || size < 3 || std::memcmp(line, "end", 3) != 0) return 0;
    if (size >= 4 && line[3] == '\n') return 4;
    if (size >= 5 && line[3] == '\r' && line[4] == '\n') return 5;
    return last && (size == 3 || (size == 4 && line[3] == '\r')) ? size : 0;
}

// Where the bytes start that cannot be decided before more input comes (`to` if there are none).
const char *undecided_tail(const command_state &state, const char *from, const char *to) {
    if (from == to) return to;
    // A line that so far reads as the start of "end\r\n" may still be the terminator.
    for (std::size_t size = 1; size <= 4 && size <= std::size_t(to - from); ++size) {
        const char *line = to - size;
        const bool line_start = line == from ? !state.in_command : line[-1] == '\n';
        if (line_start && std::memcmp(line, "end\r", size) == 0) return line;
    }
    if (to[-1] == '\r') return to - 1; // perhaps the first half of a line end
    // A run of bytes from 0x80 up waits for the byte after it, unless it is too long to hold.
    const char *run = to;
    while (run != from && is_high(run[-1]) && std::size_t(to - run) <= longest_held_run)
        --run;
    const bool too_long =
        std::size_t(to - run) > longest_held_run || (run == from && state.octal_run);
    return too_long ? to : run;
}

} // namespace

commands_written write_commands(command_state &state, const char *from, const char *to, bool last,
                                char *text, const char *text_limit) {
    const char *const cut = last ? to : undecided_tail(state, from, to);
    const char *p = from;
    if (state.octal_run) { // the rest of a long run, already decided
        const char *run_end = std::find_if_not(p, cut, is_high);
        text = write_octal(text, p, run_end);
        state.octal_run = run_end == to && !last;
        p = run_end;
    }
    // Opens the call for the line at `line`, unless it is the terminator.
    const auto start_line = [&](const char *line) {
        if (line == cut) return std::size_t(0);
        if (const std::size_t size = terminator_at(line, to, last)) return size;
        text = copy_text(text, call_start);
        state.in_command = true;
        return std::size_t(0);
    };
    if (!state.in_command)
        if (const std::size_t size = start_line(p))
            return {p + size, text, stop_reason::terminator};

    while (p < cut) {
        const byte_masks m = classify(p);
        const std::uint64_t before = p == from ? state.after_question : p[-1] == '?';
        const std::uint64_t escaped = m.special | (m.question & (m.question << 1 | before));
        std::uint64_t look = escaped | (m.high & (escaped >> 1 | std::uint64_t(1) << 63));
        const auto in_view = static_cast<std::size_t>(cut - p);
        if (in_view < 64) { // bytes past the cut are not ours, nor in view as followers
            look |= m.high & std::uint64_t(1) << (in_view - 1);
            look &= (std::uint64_t(1) << in_view) - 1;
        }
        const char *plain = p; // the first byte not written yet
        while (look) {
            const char *at = p + std::countr_zero(look);
            text = copy_plain(text, plain, at);
            const auto b = static_cast<unsigned char>(*at);
            if (b == '\n' || (b == '\r' && (at + 1 == to || at[1] == '\n'))) {
                // A line end; a carriage return that ends the input is one too.
                plain = at + 1 + (b == '\r' && at + 1 != to);
                text = copy_text(text, call_end);
                state.in_command = false;
                state.after_question = false;
                if (text > text_limit) return {plain, text, stop_reason::text_full};
                if (const std::size_t size = start_line(plain))
                    return {plain + size, text, stop_reason::terminator};
            } else if (!is_high(*at)) {
                std::memcpy(text, escapes[b].text, 4);
                text += escapes[b].size;
                plain = at + 1;
            } else {
                // The last of a run of bytes from 0x80 up in view: the run is octal as a whole
                // when the byte after it escapes or ends the command, or when it is too long to
                // hold. Its bytes before `at` are already written as they are.
                const char *run = at;
                while (run != from && is_high(run[-1]))
                    --run;
                const char *run_end = std::find_if_not(at + 1, cut, is_high);
                if (std::size_t(run_end - run) > longest_held_run || run_end == cut ||
                    ends_or_escapes(*run_end)) {
                    text = write_octal(text - (at - run), run, run_end);
                    state.octal_run = run_end == to && !last;
                } else {
                    std::memcpy(text, at, std::size_t(run_end - at));
                    text += run_end - at;
                }
                plain = run_end;
            }
            const auto taken = static_cast<std::size_t>(plain - p);
            look = taken < 64 ? look & ~std::uint64_t(0) << taken : 0;
        }
        const char *chunk_end = p + std::min<std::size_t>(in_view, 64);
        if (plain < chunk_end) {
            text = copy_plain(text, plain, chunk_end);
            plain = chunk_end;
        }
        p = plain;
    }
    if (p != from) state.after_question = p[-1] == '?';
    if (last && state.in_command) { // a last line without a line end
        text = copy_text(text, call_end);
        state.in_command = false;
    }
    return {p, text, stop_reason::needs_input};
}
