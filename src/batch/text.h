// Bytes as cmd reads them in a batch script: blanks, letters and command words, in any case.
// The script's bytes have no character set that cmd or the check may assume, so only ASCII
// letters have a case.
#pragma once

#include <cstddef>
#include <string_view>

constexpr std::size_t nowhere = std::string_view::npos;

inline bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

inline char small_letter(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

inline bool is_letter(char c) {
    return small_letter(c) >= 'a' && small_letter(c) <= 'z';
}

inline bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// What cmd skips before a command and between its words: blanks, and , ; =.
inline bool is_delimiter(char c) {
    return is_blank(c) || c == ',' || c == ';' || c == '=';
}

// Whether `text` starts with `word` (small letters; `text` in any case), ended by the end of
// `text` or by a byte that ends a command's name: a blank, or one of , ; = . \ / : ( + " [ ].
bool starts_with_word(std::string_view text, std::string_view word);

// Where `word`, in small letters, stands in `text` in any case, or `nowhere`.
std::size_t find_any_case(std::string_view text, std::string_view word);

// Whether `text` is `word` (small letters) in any case.
bool same_any_case(std::string_view text, std::string_view word);

// Whether two names are the same to cmd: in any case.
bool same_name(std::string_view a, std::string_view b);

std::string_view after_blanks(std::string_view text);
// `text` without a quote at its start and one at its end.
std::string_view unquoted(std::string_view text);
std::string_view before_blanks(std::string_view text);
