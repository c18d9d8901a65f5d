#include "source_layout.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

const char header[300] = "/*\nNorvane\nBy qortez7\n*/\n";
const char incs[200] =
    "#include <stdio.h>\n#include <conio.h>\n#include <stdlib.h>\nint main()\n{\n";
const char end[50] = "\tgetch();\n}";

namespace {

// How each byte of a command is written inside the C string literal, so that the compiled
// program hands exactly the typed bytes to system(): backslashes and quotes are escaped, and
// control bytes other than tab become three-digit octal escapes, which cannot swallow a
// following digit. Everything else, tab, '%' and bytes from 0x80 on included, stays as it is.
struct escape {
    char text[4];
    unsigned char size;
};

constexpr std::array<escape, 256> make_escapes() {
    std::array<escape, 256> table{};
    for (int b = 0; b < 256; ++b) {
        if ((b < 0x20 && b != '\t') || b == 0x7F)
            table[b] = {
                {'\\', char('0' + (b >> 6)), char('0' + ((b >> 3) & 7)), char('0' + (b & 7))}, 4};
        else if (b == '\\' || b == '"')
            table[b] = {{'\\', char(b)}, 2};
        else
            table[b] = {{char(b)}, 1};
    }
    return table;
}

constexpr std::array<escape, 256> escapes = make_escapes();

// A '?' right after a '?' is escaped, so that no trigraph forms in C89.
constexpr escape second_question_mark = {{'\\', '?'}, 2};

// Sixteen bytes at a time, in vector registers where the machine has them; the compiler splits
// the work where it has none.
using sixteen = unsigned char __attribute__((vector_size(16)));

static_assert(std::endian::native == std::endian::little, "the first byte is the lowest");

// Where the first byte that is not copied as it is stands among sixteen (16: nowhere): a
// control byte (line ends and tab too, which write_byte copies), '"', '?', '\\' or 0x7F.
int first_to_escape(sixteen bytes) {
    const auto marks =
        (bytes < 0x20) | (bytes == '"') | (bytes == '?') | (bytes == '\\') | (bytes == 0x7F);
    std::uint64_t halves[2];
    std::memcpy(halves, &marks, sizeof halves);
    if (halves[0]) return std::countr_zero(halves[0]) / 8;
    if (halves[1]) return 8 + std::countr_zero(halves[1]) / 8;
    return 16;
}

char *write_byte(char *next, const char *byte, std::string_view lines) {
    const auto b = static_cast<unsigned char>(*byte);
    const escape &e =
        b == '?' && byte != lines.data() && byte[-1] == '?' ? second_question_mark : escapes[b];
    std::memcpy(next, e.text, sizeof e.text);
    return next + e.size;
}

// The length of the line end at `byte`: a line feed, or a carriage return and a line feed.
std::size_t line_end_at(const char *byte, const char *stop) {
    if (*byte == '\n') return 1;
    return *byte == '\r' && stop - byte > 1 && byte[1] == '\n' ? 2 : 0;
}

constexpr char command_start[] = "\tsystem(\"";
constexpr char command_end[] = "\");\n";

} // namespace

void write_opening(std::string &text) {
    text += header;
    text += incs;
}

void write_commands(std::string &text, std::string_view lines) {
    // Built on the stack and appended a few kilobytes at a time.
    char piece[4096];
    char *next = std::copy_n(command_start, sizeof command_start - 1, piece);
    for (const char *byte = lines.data(), *const stop = byte + lines.size(); byte != stop;) {
        if (piece + sizeof piece - next < 64) { // room for one step and a line's end and start
            text.append(piece, next);
            next = piece;
        }
        // Sixteen bytes (fewer at the end, the rest zero) are copied as they are; the first
        // one that needs a look, if any, is written over.
        const auto count = static_cast<int>(std::min<std::ptrdiff_t>(stop - byte, 16));
        sixteen bytes{};
        if (count == 16) // a copy of known size, which the compiler makes one load
            std::memcpy(&bytes, byte, 16);
        else
            std::memcpy(&bytes, byte, static_cast<std::size_t>(count));
        std::memcpy(next, &bytes, sizeof bytes);
        const int plain = std::min(first_to_escape(bytes), count);
        next += plain;
        byte += plain;
        if (plain == count) continue;
        const std::size_t line_end = line_end_at(byte, stop);
        if (line_end == 0) {
            next = write_byte(next, byte++, lines);
            continue;
        }
        byte += line_end;
        next = std::copy_n(command_end, sizeof command_end - 1, next);
        next = std::copy_n(command_start, sizeof command_start - 1, next);
    }
    next = std::copy_n(command_end, sizeof command_end - 1, next);
    text.append(piece, next);
}

void write_closing(std::string &text) {
    text += "\tprintf(\"\\n\");";
    text += '\n';
    text += end;
}
