#include "batch/text.h"

#include <algorithm>

namespace {

bool ends_name(char c) {
    switch (c) {
    case ' ':
    case '\t':
    case ',':
    case ';':
    case '=':
    case '.':
    case '\\':
    case '/':
    case ':':
    case '(':
    case '+':
    case '"':
    case '[':
    case ']':
        return true;
    default:
        return false;
    }
}

} // namespace

bool same_any_case(std::string_view text, std::string_view word) {
    return text.size() == word.size() &&
           std::equal(word.begin(), word.end(), text.begin(),
                      [](char w, char t) { return small_letter(t) == w; });
}

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return small_letter(x) == small_letter(y);
           });
}

bool starts_with_word(std::string_view text, std::string_view word) {
    return text.size() >= word.size() && same_any_case(text.substr(0, word.size()), word) &&
           (text.size() == word.size() || ends_name(text[word.size()]));
}

std::size_t find_any_case(std::string_view text, std::string_view word) {
    const auto at = std::search(text.begin(), text.end(), word.begin(), word.end(),
                                [](char a, char b) { return small_letter(a) == b; });
    return at == text.end() ? nowhere : std::size_t(at - text.begin());
}

std::string_view unquoted(std::string_view text) {
    if (!text.empty() && text.front() == '"') text.remove_prefix(1);
    if (!text.empty() && text.back() == '"') text.remove_suffix(1);
    return text;
}

std::string_view after_blanks(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view before_blanks(std::string_view text) {
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}
