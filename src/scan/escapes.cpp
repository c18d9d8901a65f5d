#include "scan/escapes.h"

namespace {

constexpr mark_table make_marks() {
    mark_table table{};
    for (int b = 0; b < 256; ++b) {
        char *text = table.text[b];
        if (b == '"' || b == '\\' || b == '?') {
            text[0] = '\\';
            text[1] = char(b);
            table.size[b] = 2;
        } else if (b == '\n') {
            constexpr std::size_t end_size = sizeof call_end - 1;
            for (std::size_t i = 0; i < line_break_size; ++i)
                text[i] = i < end_size ? call_end[i] : call_start[i - end_size];
            table.size[b] = line_break_size;
        } else {
            text[0] = '\\';
            text[1] = char('0' + (b >> 6));
            text[2] = char('0' + ((b >> 3) & 7));
            text[3] = char('0' + (b & 7));
            table.size[b] = 4;
        }
    }
    return table;
}

} // namespace

constinit const mark_table marks = make_marks();

char *write_octal(char *text, const char *from, const char *to) {
    for (; from != to; ++from) {
        std::memcpy(text, marks.text[static_cast<unsigned char>(*from)], 4);
        text += 4;
    }
    return text;
}
