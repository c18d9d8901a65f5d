#include "source_layout.h"

#include <cstring>

namespace {

const char header[300] = "/*\nNorvane\nBy qortez7\n*/\n";
const char incs[200] =
    "#include <stdio.h>\n#include <conio.h>\n#include <stdlib.h>\nint main()\n{\n";
const char end[50] = "\tgetch();\n}";

char *write_text(char *text, const char *fixed) {
    const std::size_t size = std::strlen(fixed);
    std::memcpy(text, fixed, size);
    return text + size;
}

} // namespace

char *write_opening(char *text) {
    return write_text(write_text(text, header), incs);
}

char *write_closing(char *text) {
    return write_text(write_text(write_text(text, "\tprintf(\"\\n\");"), "\n"), end);
}
