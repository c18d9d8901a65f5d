// Classification a byte at a time through one table: the way for processors without SSE2 (some
// that run the 32-bit Windows program) and for other architectures, and the plainest of all.
#include "scan/escapes.h"
#include "scan/lines.h"
#include "scan/paths.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace scan_scalar {
namespace {

#include "scan/steps.h"

// The class of each byte; most are plain.
enum byte_class : unsigned char {
    plain,
    line_feed,
    carriage_return,
    quoted,
    question,
    other_control,
    high,
};

constexpr std::uint64_t byte_masks::*const mask_of[] = {
    nullptr,
    &byte_masks::line_feed,
    &byte_masks::carriage_return,
    &byte_masks::quoted,
    &byte_masks::question,
    &byte_masks::other_control,
    &byte_masks::high,
};

constexpr byte_class class_of(int b) {
    return b == '\n'                              ? line_feed
           : b == '\r'                            ? carriage_return
           : b == '"' || b == '\\'                ? quoted
           : b == '?'                             ? question
           : b >= 0x80                            ? high
           : (b < 0x20 && b != '\t') || b == 0x7F ? other_control
                                                  : plain;
}

// The class of each byte, and for each place j in a group of eight, the bit 1 << j where a byte
// there is not plain: one OR a byte gathers a group's bits.
struct class_tables {
    byte_class of[256];
    unsigned char marked_at[8][256];
};

constexpr class_tables make_tables() {
    class_tables tables{};
    for (int b = 0; b < 256; ++b) {
        tables.of[b] = class_of(b);
        for (int j = 0; j < 8; ++j)
            tables.marked_at[j][b] = (tables.of[b] != plain) << j;
    }
    return tables;
}

constexpr class_tables tables = make_tables();

// Two passes: one without a branch gathers a bit for each byte that is not plain; then only
// those bytes are put in their masks.
byte_masks classify(const char *bytes) {
    const auto *b = reinterpret_cast<const unsigned char *>(bytes);
    std::uint32_t half[2] = {};
    for (int group = 0; group < 8; ++group) {
        unsigned bits = 0;
        for (int j = 0; j < 8; ++j)
            bits |= tables.marked_at[j][b[8 * group + j]];
        half[group / 4] |= std::uint32_t(bits) << 8 * (group % 4);
    }
    byte_masks m{};
    for (std::uint64_t marked = half[0] | std::uint64_t(half[1]) << 32; marked;
         marked &= marked - 1) {
        const int at = lowest_bit(marked);
        m.*mask_of[tables.of[b[at]]] |= std::uint64_t(1) << at;
    }
    return m;
}

} // namespace

commands_written write_commands(command_state &state, const char *from, const char *to,
                                input_end then, char *text, const char *text_limit) {
    return scan_commands<fast_step_by_marks>(state, from, to, then, text, text_limit);
}

} // namespace scan_scalar
