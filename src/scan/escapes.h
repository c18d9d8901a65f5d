// What a command's bytes are written as inside its call: the two halves of the call, and the
// escape of each byte that is not copied as it is. The same for every way of scanning.
#pragma once

#include <cstddef>
#include <cstring>

constexpr char call_start[] = "\tsystem(\"";
constexpr std::size_t call_start_size = sizeof call_start - 1;
constexpr char call_end[] = "\");\n";
// A line feed closes the call and opens the next one at once.
constexpr std::size_t line_break_size = sizeof call_end - 1 + call_start_size;

// What each byte is written as where it is not copied as it is: a backslash and the byte for
// '"', '\\' and '?', the line break for a line feed, a three-digit octal escape (which cannot
// swallow a following digit) for any other. 16 bytes a text, so that each is copied whole.
struct mark_table {
    alignas(16) char text[256][16];
    unsigned char size[256];
};

extern const mark_table marks;

inline bool is_high(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

// Whether the text of byte `c`, after a byte from 0x80 up, starts with a backslash or ends the
// command: a '?' there is never a second one, so it is not among these.
inline bool ends_or_escapes(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b < 0x20 && b != '\t') || b == 0x7F || b == '"' || b == '\\';
}

template <std::size_t size> char *copy_text(char *text, const char (&fixed)[size]) {
    std::memcpy(text, fixed, size - 1);
    return text + size - 1;
}

inline char *write_mark(char *text, char c) {
    const auto b = static_cast<unsigned char>(c);
    std::memcpy(text, marks.text[b], sizeof marks.text[b]);
    return text + marks.size[b];
}

// Each byte of [from, to) as its octal escape.
char *write_octal(char *text, const char *from, const char *to);
