// Classification with GCC vector types: the compiler turns them into what the processor has,
// or into plain integers where there is nothing wider (the 32-bit Windows build).
#include "scan_paths.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

#include "scan_steps.h"

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
    byte_masks m{};
    for (int i = 0; i < 4; ++i) {
        lanes b;
        std::memcpy(&b, bytes + 16 * i, sizeof b);
        const auto control = (b < 0x20) & (b != '\t') & (b != '\n') & (b != '\r');
        const int shift = 16 * i;
        m.line_feed |= lane_bits(lanes(b == '\n')) << shift;
        m.carriage_return |= lane_bits(lanes(b == '\r')) << shift;
        m.quoted |= lane_bits(lanes((b == '"') | (b == '\\'))) << shift;
        m.question |= lane_bits(lanes(b == '?')) << shift;
        m.other_control |= lane_bits(lanes(control | (b == 0x7F))) << shift;
        m.high |= lane_bits(lanes(b >= 0x80)) << shift;
    }
    return m;
}

} // namespace

commands_written scan_portably(command_state &state, const char *from, const char *to,
                               input_end then, char *text, const char *text_limit) {
    return scan_commands<fast_step_by_marks>(state, from, to, then, text, text_limit);
}
