#include "source_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string opening = "/*\nNorvane\nBy qortez7\n*/\n"
                            "#include <stdio.h>\n#include <conio.h>\n#include <stdlib.h>\n"
                            "int main()\n{\n";
const std::string closing = "\tprintf(\"\\n\");\n\tgetch();\n}";

TEST(SourceLayout, ProgramWithoutCommandsIsOpeningThenClosing) {
    std::string text;
    write_opening(text);
    write_closing(text);
    EXPECT_EQ(text, opening + closing);
}

// Each line is one call, its bytes escaped so that the compiled program gets them as typed.
TEST(SourceLayout, CommandLines) {
    struct {
        std::string lines;
        std::vector<std::string> literals;
    } cases[] = {
        {"", {""}},
        {"dir /w", {"dir /w"}},
        {"  \tcopy a b\t ", {"  \tcopy a b\t "}},
        {"echo 100% %PATH% %%i", {"echo 100% %PATH% %%i"}},
        {"cd C:\\temp", {"cd C:\\\\temp"}},
        {"echo \"hi\"", {"echo \\\"hi\\\""}},
        {"echo \");exit(1);(\"", {"echo \\\");exit(1);(\\\""}},
        {"why? a?b?", {"why? a?b?"}},
        {"echo ?"
         "?!",
         {"echo ?\\?!"}}, // split so that no trigraph forms here
        {"?"
         "?"
         "?/",
         {"?\\?\\?/"}},
        {"\x1b[1mbold", {"\\033[1mbold"}},
        {"a\rb", {"a\\015b"}},
        {"\x01"
         "7",
         {"\\0017"}},
        {"\x7f", {"\\177"}},
        {std::string("a\0b", 3), {"a\\000b"}},
        {"caf\xe9 \x80\xff", {"caf\xe9 \x80\xff"}},
        {"a\nb", {"a", "b"}},
        {"a\r\n\nb\r", {"a", "", "b\\015"}},
        {"a\rb\n?\n?", {"a\\015b", "?", "?"}},
        {"\n", {"", ""}},
    };
    for (const auto &c : cases) {
        std::string expected, text;
        for (const auto &literal : c.literals)
            expected += "\tsystem(\"" + literal + "\");\n";
        write_commands(text, c.lines);
        EXPECT_EQ(text, expected) << c.lines;
    }
}

} // namespace
