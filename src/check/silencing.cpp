#include "check/silencing.h"

#include "batch/text.h"

#include <algorithm>

namespace {

// `text` with `word` (small letters) in front, in any case, taken off; false where it is not.
bool take(std::string_view &text, std::string_view word) {
    if (text.size() < word.size() || !same_any_case(text.substr(0, word.size()), word))
        return false;
    text.remove_prefix(word.size());
    return true;
}

} // namespace

directive read_directive(std::string_view line) {
    std::string_view text = after_blanks(line);
    directive d;
    // Most lines are no comment at all: one byte tells.
    if (text.empty() || std::string_view("@:rR").find(text.front()) == std::string_view::npos)
        return d;
    if (take(text, "@")) text = after_blanks(text);
    const bool comment =
        take(text, "::") || (take(text, "rem") && !text.empty() && is_blank(text.front()));
    if (!comment) return d;
    text = after_blanks(text);
    if (!take(text, "norvane-check") || text.empty() || !is_blank(text.front())) return d;
    text = after_blanks(text);
    if (!take(text, "disable=")) return d;
    d.found = true;
    // The list ends at a blank: what follows is the user's reason.
    const std::size_t end = std::min(text.size(), text.find_first_of(" \t"));
    d.rules = rule_list(text.substr(0, end));
    for (auto &[at, rule] : d.rules)
        at += std::size_t(text.data() - line.data());
    return d;
}

std::vector<std::pair<std::size_t, std::string_view>> rule_list(std::string_view list) {
    std::vector<std::pair<std::size_t, std::string_view>> rules;
    for (std::size_t from = 0; from <= list.size();) {
        const std::size_t comma = std::min(list.size(), list.find(',', from));
        rules.emplace_back(from, list.substr(from, comma - from));
        from = comma + 1;
    }
    return rules;
}

void silencing::silence_line(std::uint64_t line, std::string_view rule) {
    lines_[line].emplace_back(rule);
}

bool silencing::silenced(const finding &f) const {
    if (everywhere_.empty() && lines_.empty()) return false;
    const std::string_view rule = rule_of(f.message);
    if (std::find(everywhere_.begin(), everywhere_.end(), rule) != everywhere_.end()) return true;
    const auto line = lines_.find(f.line);
    return line != lines_.end() &&
           std::find(line->second.begin(), line->second.end(), rule) != line->second.end();
}
