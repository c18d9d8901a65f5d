#include "source_layout.h"

#include <array>

const char header[300] = "/*\nNorvane\nBy qortez7\n*/\n";
const char incs[200] =
    "#include <stdio.h>\n#include <conio.h>\n#include <stdlib.h>\nint main()\n{\n";
const char end[50] = "\tgetch();\n}";

namespace {

// How a byte of a command is written inside the C string literal.
enum class byte_kind : unsigned char { plain, backslashed, octal, question };

constexpr std::array<byte_kind, 256> make_byte_kinds() {
    std::array<byte_kind, 256> kinds{};
    for (int b = 0; b < 0x20; ++b)
        kinds[b] = byte_kind::octal;
    kinds['\t'] = byte_kind::plain;
    kinds[0x7F] = byte_kind::octal;
    kinds['\\'] = byte_kind::backslashed;
    kinds['"'] = byte_kind::backslashed;
    kinds['?'] = byte_kind::question;
    return kinds;
}

constexpr std::array<byte_kind, 256> byte_kinds = make_byte_kinds();

// Writes the command so that the compiled program passes exactly these bytes to system():
// backslashes and quotes are escaped, a second '?' in a row is escaped so that no trigraph
// forms, and control bytes (other than tab) become three-digit octal escapes, which cannot
// swallow a following digit.
void write_escaped(std::ostream &fp, std::string_view cmd) {
    std::size_t plain_from = 0;
    for (std::size_t i = 0; i < cmd.size(); ++i) {
        const auto byte = static_cast<unsigned char>(cmd[i]);
        const byte_kind kind = byte_kinds[byte];
        if (kind == byte_kind::plain ||
            (kind == byte_kind::question && (i == 0 || cmd[i - 1] != '?')))
            continue;
        fp.write(cmd.data() + plain_from, static_cast<std::streamsize>(i - plain_from));
        plain_from = i + 1;
        if (kind == byte_kind::octal) {
            const char escape[] = {'\\', static_cast<char>('0' + (byte >> 6)),
                                   static_cast<char>('0' + ((byte >> 3) & 7)),
                                   static_cast<char>('0' + (byte & 7))};
            fp.write(escape, sizeof escape);
        } else {
            const char escape[] = {'\\', cmd[i]};
            fp.write(escape, sizeof escape);
        }
    }
    fp.write(cmd.data() + plain_from, static_cast<std::streamsize>(cmd.size() - plain_from));
}

} // namespace

void write_opening(std::ostream &fp) {
    fp << header << incs;
}

void write_command(std::ostream &fp, std::string_view cmd) {
    fp << "\tsystem(\"";
    write_escaped(fp, cmd);
    fp << "\");\n";
}

void write_closing(std::ostream &fp) {
    fp << "\tprintf(\"\\n\");" << '\n' << end;
}
