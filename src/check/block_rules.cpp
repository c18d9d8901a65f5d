#include "check/block_rules.h"

#include <algorithm>

namespace {

// The first byte that is not a blank or an @, or the end.
std::size_t first_byte(std::string_view line) {
    return std::min(line.find_first_not_of(" \t@"), line.size());
}

} // namespace

void block_rules::check(std::string_view text, const std::vector<std::string_view> &lines,
                        std::uint64_t first_line, const line_shape &shape, bool dangling,
                        const place_of &place, std::vector<finding> &found) {
    const auto offset = [&](std::string_view part) {
        return std::size_t(part.data() - text.data());
    };
    // ) else ( goes on with the if's block: one cause, one block, and the line is inside it.
    const bool goes_on = shape.opened_by_else;
    if (shape.closed_at != nowhere && !goes_on)
        found.push_back(place(shape.closed_at, message_id::block_closes, block_line_));
    if (shape.opened_at != nowhere && !goes_on) {
        found.push_back(place(shape.opened_at, message_id::block_opens, 0));
        block_line_ = found.back().line;
    }
    const std::size_t first = first_byte(lines.front());
    const bool empty =
        first == lines.front().size() || (shape.comment_at != nowhere && !shape.has_command);
    if (shape.depth_before > 0 && (shape.closed_at == nowhere || goes_on) && !empty)
        found.push_back(
            place(offset(lines.front()) + first, message_id::block_inside, block_line_));
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const bool joins = k + 1 < lines.size() || dangling;
        if (joins)
            found.push_back(
                place(offset(lines[k]) + lines[k].size() - 1, message_id::block_caret, 0));
        if (k > 0)
            found.push_back(place(offset(lines[k]) + first_byte(lines[k]),
                                  message_id::block_continued, first_line + k - 1));
    }
}
