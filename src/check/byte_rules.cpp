#include "check/byte_rules.h"

#include "batch/text.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

constexpr std::size_t longest_command = 8191; // what cmd.exe runs

bool is_blank_or_mark(char c) {
    return is_blank(c) || c == '\r' || c == '\f' || c == '\v' || c == '\x1A';
}

bool all_blank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), is_blank_or_mark);
}

// Whether a line that starts with a quote keeps its quotes under `cmd /c`: exactly two, a blank
// between them and none of & < > ( ) @ ^ | there.
bool keeps_quotes(std::string_view line) {
    if (std::count(line.begin(), line.end(), '"') != 2) return false;
    const std::string_view quoted = line.substr(1, line.find('"', 1) - 1);
    return quoted.find_first_of(" \t") != nowhere && quoted.find_first_of("&<>()@^|") == nowhere;
}

} // namespace

void byte_rules::decide(std::string_view line, std::vector<finding> &decided) {
    if (all_blank(line)) return;
    if (end_line_) decided.push_back(*std::exchange(end_line_, std::nullopt));
    if (mark_) decided.push_back(*std::exchange(mark_, std::nullopt));
}

void byte_rules::check(std::uint64_t number, std::string_view line, std::size_t code_at,
                       std::string_view code, std::vector<finding> &found,
                       std::vector<finding> &decided) {
    const auto point = [&](std::size_t at, message_id message, std::string subject = {}) {
        found.push_back({number, at + 1, message, std::move(subject), 0});
    };
    std::size_t start = 0;
    if (number == 1 && line.substr(0, 3) == byte_order_mark) {
        point(0, message_id::bom);
        start = 3;
    }
    decide(line.substr(start), decided);
    if (line == "end" && !end_seen_) {
        end_seen_ = true;
        end_line_ = finding{number, 1, message_id::end_line, {}, 0};
    }
    if (line.size() > start && line[start] == '"' && !keeps_quotes(line.substr(start)))
        point(start, message_id::quotes);
    if (line.size() > longest_command)
        point(longest_command, message_id::long_line, std::to_string(line.size()));
    if (const std::size_t cr = cr_seen_ ? nowhere : line.find('\r'); cr != nowhere) {
        cr_seen_ = true;
        point(cr, message_id::cr_only);
    }
    if (const std::size_t mark = mark_seen_ ? nowhere : line.find('\x1A'); mark != nowhere) {
        mark_seen_ = true;
        const finding f{number, mark + 1, message_id::eof_mark, {}, 0};
        if (all_blank(line.substr(mark + 1)))
            mark_ = f; // decided by the next line that is not blank
        else
            decided.push_back(f);
    }
    if (const std::size_t nul = code.find('\0'); nul != nowhere)
        point(code_at + nul, message_id::nul);
    if (!high_seen_) {
        const auto high = std::find_if(
            code.begin(), code.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        if (high != code.end()) {
            high_seen_ = true;
            point(code_at + std::size_t(high - code.begin()), message_id::code_page);
        }
    }
}
