#include "source_layout.h"

#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view header = "/*\nNorvane\nBy qortez7\n*/\n";
constexpr std::string_view incs =
    "#include <stdio.h>\n#include <conio.h>\n#include <stdlib.h>\nint main()\n{\n";
constexpr std::string_view line_feed_call = "\tprintf(\"\\n\");";
constexpr std::string_view end = "\tgetch();\n}";

char *write_text(char *text, std::string_view fixed) {
    std::memcpy(text, fixed.data(), fixed.size());
    return text + fixed.size();
}

} // namespace

char *write_opening(char *text) {
    return write_text(write_text(text, header), incs);
}

char *write_closing(char *text) {
    return write_text(write_text(write_text(text, line_feed_call), "\n"), end);
}
