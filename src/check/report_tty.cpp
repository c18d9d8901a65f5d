// The tty form: each finding as gcc shows a diagnostic, with the script's line under it in a
// gutter, a caret under the column, and the text --flatten writes instead.
#include "check/report.h"

#include <algorithm>

namespace {

constexpr const char *green = "\033[1;32m", *plain = "\033[m";

} // namespace

const rewrite *rewrite_of(const script_view &script, std::uint64_t line) {
    if (!script.rewrites) return nullptr;
    const std::vector<rewrite> &all = *script.rewrites;
    const auto holding = std::partition_point(all.begin(), all.end(),
                                              [&](const rewrite &r) { return r.last < line; });
    if (holding == all.end() || holding->first > line) return nullptr;
    // A line written as it was is no fix.
    if (holding->first == holding->last && holding->text &&
        *holding->text == script.lines[holding->first - 1])
        return nullptr;
    return &*holding;
}

void append_tty(std::string &out, std::string_view file, const finding &f,
                const script_view &script, bool colour) {
    append_gcc_line(out, file, f, colour);
    if (f.line == 0 || f.line > script.lines.size()) return;
    const std::string number = std::to_string(f.line);
    const std::string gutter(std::max<std::size_t>(number.size(), 4) + 1, ' ');
    const std::string_view line = script.lines[f.line - 1];
    out.append(gutter.size() - number.size(), ' ').append(number).append(" | ");
    append_escaped(out, line, false);
    out.append("\n").append(gutter).append(" | ");
    // The caret stands under the column as the line is shown, its bytes escaped.
    std::string before;
    append_escaped(before, line.substr(0, std::min<std::size_t>(f.column - 1, line.size())), false);
    out.append(before.size(), ' ');
    if (colour) out += green;
    out += '^';
    if (colour) out += plain;
    out += '\n';
    if (const rewrite *fix = rewrite_of(script, f.line)) {
        out.append(gutter).append(" = ");
        if (colour) out += green;
        if (fix->text) {
            out.append("write ").append(lines_named(fix->first, fix->last)).append(" as: ");
            append_escaped(out, *fix->text, false);
        } else {
            out.append("remove ").append(lines_named(fix->first, fix->last));
        }
        if (colour) out += plain;
        out += '\n';
    }
}
