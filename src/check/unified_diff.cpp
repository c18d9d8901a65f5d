#include "check/unified_diff.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::uint64_t context = 3; // lines on each side of a change, as diff -u has them

void append_line(std::string &out, char mark, std::string_view text, std::string_view end) {
    out += mark;
    out.append(text).append(end);
    if (end.empty()) out += "\n\\ No newline at end of file\n";
}

// A hunk's range: its first line and count, where a count of 0 names the line before.
std::string range(std::uint64_t first, std::uint64_t count) {
    return std::to_string(count == 0 ? first - 1 : first) + "," + std::to_string(count);
}

} // namespace

std::string unified_diff(std::string_view file, const std::vector<std::string> &lines,
                         const std::vector<std::string> &ends,
                         const std::vector<rewrite> &rewrites) {
    std::vector<const rewrite *> changes;
    for (const rewrite &r : rewrites) {
        const bool same = r.first == r.last && r.text && *r.text == lines[r.first - 1] &&
                          r.line_end == ends[r.first - 1];
        if (!same) changes.push_back(&r);
    }
    if (changes.empty()) return {};
    std::string out = "--- ";
    out.append(file).append("\n+++ ").append(file).append("\n");
    const std::uint64_t count = lines.size();
    std::int64_t shift = 0; // lines the hunks before this one added, less those they removed
    for (std::size_t i = 0; i < changes.size();) {
        // The changes whose context touches go in one hunk.
        std::size_t j = i + 1;
        while (j < changes.size() && changes[j]->first - changes[j - 1]->last - 1 <= 2 * context)
            ++j;
        const std::uint64_t from = changes[i]->first > context ? changes[i]->first - context : 1;
        const std::uint64_t to = std::min(count, changes[j - 1]->last + context);
        std::string body;
        std::uint64_t old_count = 0, new_count = 0;
        std::uint64_t line = from;
        for (std::size_t k = i; k < j; ++k) {
            for (; line < changes[k]->first; ++line, ++old_count, ++new_count)
                append_line(body, ' ', lines[line - 1], ends[line - 1]);
            for (; line <= changes[k]->last; ++line, ++old_count)
                append_line(body, '-', lines[line - 1], ends[line - 1]);
            if (changes[k]->text) {
                append_line(body, '+', *changes[k]->text, changes[k]->line_end);
                ++new_count;
            }
        }
        for (; line <= to; ++line, ++old_count, ++new_count)
            append_line(body, ' ', lines[line - 1], ends[line - 1]);
        out.append("@@ -").append(range(from, old_count));
        out.append(" +").append(range(std::uint64_t(std::int64_t(from) + shift), new_count));
        out.append(" @@\n").append(body);
        shift += std::int64_t(new_count) - std::int64_t(old_count);
        i = j;
    }
    return out;
}
