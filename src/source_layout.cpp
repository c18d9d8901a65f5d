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

namespace {

// How a byte that is not copied as it is gets written, so that the compiled program hands
// exactly the typed bytes to system(): '"', '\\' and a '?' right after a '?' (no trigraph may
// form) get a backslash; control bytes other than tab, 0x7F and bytes from 0x80 up that must not
// stand as they are become three-digit octal escapes, which cannot swallow a following digit.
// A line feed closes the call and opens the next one (taken back where no line follows); a
// carriage return before it is dropped. Each text is stored in 16 bytes, copied whole.
constexpr char call_start[] = "\tsystem(\"";
constexpr char call_end[] = "\");\n";
constexpr std::size_t call_start_size = sizeof call_start - 1;

struct escape_table {
    alignas(16) char text[256][16];
    unsigned char size[256];
};

constexpr escape_table make_escapes() {
    escape_table table{};
    for (int b = 0; b < 256; ++b) {
        char *text = table.text[b];
        if (b == '"' || b == '\\' || b == '?') {
            text[0] = '\\';
            text[1] = char(b);
            table.size[b] = 2;
        } else if (b == '\n') {
            for (std::size_t i = 0; i < sizeof call_end - 1 + call_start_size; ++i)
                text[i] = i < sizeof call_end - 1 ? call_end[i] : call_start[i - 4];
            table.size[b] = sizeof call_end - 1 + call_start_size;
        } else {
            text[0] = '\\';
            text[1] = char('0' + (b >> 6));
            text[2] = char('0' + ((b >> 3) & 7));
            text[3] = char('0' + (b & 7));
            table.size[b] = 4;
        }
    }
    return table;
}

constexpr escape_table escapes = make_escapes();

bool is_high(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

// Whether the text of byte `c`, after a byte from 0x80 up, starts with a backslash or ends the
// command: a '?' there is never a second one, so it is not among these.
bool ends_or_escapes(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b < 0x20 && b != '\t') || b == 0x7F || b == '"' || b == '\\';
}

// Masks over 64 bytes, bit i for byte i (here _ is a space and # a byte from 0x80 up):
//
//   bytes      e c h o _ " a ? ? b " _ \ # \ # # x
//   special    . . . . . 1 . . . . 1 . 1 . 1 . . .   control bytes, '"', '\\', 0x7F
//   question   . . . . . . . 1 1 . . . . . . . . .
//   high       . . . . . . . . . . . . . 1 . 1 1 .
//   e          1 . . . . . . . . . . . . . . . . .
//
// The scan derives what needs a look from them:
//   second '?' = question & (question << 1 | the byte before the 64 was '?')
//   escaped    = special | second '?'    (their text starts with a backslash, or ends the line)
//   look       = escaped | high & (escaped >> 1 | bit 63)
//              . . . . . 1 . . 1 . 1 . 1 1 1 . . .
// A byte from 0x80 up needs a look only right before an escaped byte, or as the last of the 64,
// whose follower is out of view; the look then decides its whole run. The run "# #" before x
// is not marked, so stays as it is. The bytes between marks are copied as they are. A line that
// starts with 'e', right after a line feed, may be the terminator and is checked.
struct byte_masks {
    std::uint64_t special, question, high, e;
};

#if defined(__SSE2__) && !defined(NORVANE_PORTABLE_SCAN)

// '?' and bytes from 0x80 up are rare in scripts: their masks are made only where some are.
byte_masks classify(const char *bytes) {
    byte_masks m{0, 0, 0, 0};
    std::uint64_t rare = 0;
    __m128i b[4], question[4];
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        b[i] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + 16 * i));
        const __m128i control =
            _mm_andnot_si128(_mm_cmpeq_epi8(b[i], _mm_set1_epi8('\t')),
                             _mm_cmpeq_epi8(_mm_min_epu8(b[i], _mm_set1_epi8(0x1F)), b[i]));
        const __m128i special =
            _mm_or_si128(_mm_or_si128(control, _mm_cmpeq_epi8(b[i], _mm_set1_epi8(0x7F))),
                         _mm_or_si128(_mm_cmpeq_epi8(b[i], _mm_set1_epi8('"')),
                                      _mm_cmpeq_epi8(b[i], _mm_set1_epi8('\\'))));
        question[i] = _mm_cmpeq_epi8(b[i], _mm_set1_epi8('?'));
        const int shift = 16 * i;
        m.special |= std::uint64_t(unsigned(_mm_movemask_epi8(special))) << shift;
        m.e |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(b[i], _mm_set1_epi8('e')))))
               << shift;
        rare |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_or_si128(question[i], b[i]))))
                << shift;
    }
    if (rare) {
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i) {
            m.question |= std::uint64_t(unsigned(_mm_movemask_epi8(question[i]))) << 16 * i;
            m.high |= std::uint64_t(unsigned(_mm_movemask_epi8(b[i]))) << 16 * i;
        }
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
    byte_masks m{0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        lanes b;
        std::memcpy(&b, bytes + 16 * i, sizeof b);
        const auto special = ((b < 0x20) & (b != '\t')) | (b == 0x7F) | (b == '"') | (b == '\\');
        const int shift = 16 * i;
        m.special |= lane_bits(lanes(special)) << shift;
        m.question |= lane_bits(lanes(b == '?')) << shift;
        m.high |= lane_bits(lanes(b >= 0x80)) << shift;
        m.e |= lane_bits(lanes(b == 'e')) << shift;
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
        std::memcpy(text, escapes.text[static_cast<unsigned char>(*from)], 4);
        text += 4;
    }
    return text;
}

// The length of the terminator line at `line`, line end included, or 0 where it is none.
std::size_t terminator_at(const char *line, const char *to, input_end then) {
    const auto size = static_cast<std::size_t>(to - line);
    if (line[0] != 'e' || size < 3 || std::memcmp(line, "end", 3) != 0) return 0;
    if (size >= 4 && line[3] == '\n') return 4;
    if (size >= 5 && line[3] == '\r' && line[4] == '\n') return 5;
    return then == input_end::at_end && (size == 3 || (size == 4 && line[3] == '\r')) ? size : 0;
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

commands_written write_commands(command_state &state, const char *from, const char *to,
                                input_end then, char *text, const char *text_limit) {
    const bool last = then != input_end::more;
    const char *const cut = last ? to : undecided_tail(state, from, to);
    const char *p = from;
    if (state.octal_run) { // the rest of a long run, already decided
        const char *run_end = std::find_if_not(p, cut, is_high);
        text = write_octal(text, p, run_end);
        state.octal_run = run_end == to && !last;
        p = run_end;
    }
    if (!state.in_command && p != cut) {
        if (const std::size_t size = terminator_at(p, to, then))
            return {p + size, text, stop_reason::terminator};
        text = copy_text(text, call_start);
        state.in_command = true;
    }
    // Every line feed below opens the next call at once. Where no line follows in view, or the
    // next line is the terminator, that opening is taken back.
    const auto take_back_opening = [&](const char *line) {
        if (line == from || line[-1] != '\n') return;
        text -= call_start_size;
        state.in_command = false;
    };

    while (p < cut) {
        const byte_masks m = classify(p);
        const std::uint64_t before = p == from ? state.after_question : p[-1] == '?';
        const std::uint64_t escaped = m.special | (m.question & (m.question << 1 | before));
        std::uint64_t look = escaped | (m.high & (escaped >> 1 | std::uint64_t(1) << 63));
        auto in_view = static_cast<std::size_t>(cut - p);
        // A line starting with 'e' may be the terminator: the marks stop before it if it is.
        const char *terminator = nullptr;
        std::size_t terminator_size = 0;
        for (std::uint64_t starts = m.e & (m.special << 1 | (p != from && p[-1] == '\n')); starts;
             starts &= starts - 1) {
            const char *line = p + std::countr_zero(starts);
            if (line >= cut || line[-1] != '\n') continue;
            if ((terminator_size = terminator_at(line, to, then)) != 0) {
                terminator = line;
                in_view = static_cast<std::size_t>(line - p);
                break;
            }
        }
        if (in_view < 64) { // bytes past the cut are not ours, nor in view as followers
            look |= m.high & (std::uint64_t(1) << in_view >> 1); // the last in view, if any
            look &= (std::uint64_t(1) << in_view) - 1;
        }
        const char *plain = p; // the first byte not written yet
        while (look) {
            const char *at = p + std::countr_zero(look);
            text = copy_plain(text, plain, at);
            const auto b = static_cast<unsigned char>(*at);
            plain = at + 1;
            if (b == '\r' && (plain == to || *plain == '\n')) { // dropped: the line feed ends it
                look &= look - 1;
                continue;
            }
            if (b < 0x80) {
                std::memcpy(text, escapes.text[b], sizeof escapes.text[b]);
                text += escapes.size[b];
                look &= look - 1;
                continue;
            }
            // The last of a run of bytes from 0x80 up in view: the run is octal as a whole when
            // the byte after it escapes or ends the command, or when it is too long to hold. Its
            // bytes before `at` are already written as they are.
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
            const auto taken = static_cast<std::size_t>(plain - p);
            look = taken < 64 ? look & ~std::uint64_t(0) << taken : 0;
        }
        const char *chunk_end = p + std::min<std::size_t>(in_view, 64);
        if (plain < chunk_end) {
            text = copy_plain(text, plain, chunk_end);
            plain = chunk_end;
        }
        p = plain;
        if (terminator) {
            take_back_opening(terminator);
            return {terminator + terminator_size, text, stop_reason::terminator};
        }
        if (text > text_limit && p < cut) {
            take_back_opening(p);
            state.after_question = p[-1] == '?';
            return {p, text, stop_reason::text_full};
        }
    }
    take_back_opening(p);
    if (p != from) state.after_question = p[-1] == '?';
    if (last && state.in_command) { // a last line without a line end
        text = copy_text(text, call_end);
        state.in_command = false;
    }
    return {p, text, stop_reason::needs_input};
}
