#include "source_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string opening = "/*\nNorvane\nBy qortez7\n*/\n"
                            "#include <stdio.h>\n#include <conio.h>\n#include <stdlib.h>\n"
                            "int main()\n{\n";
const std::string closing = "\tprintf(\"\\n\");\n\tgetch();\n}";

std::string command_line(const std::string &cmd) {
    std::string text;
    write_commands(text, cmd);
    return text;
}

TEST(SourceLayout, ProgramWithoutCommandsIsOpeningThenClosing) {
    std::string text;
    write_opening(text);
    write_closing(text);
    EXPECT_EQ(text, opening + closing);
}

TEST(SourceLayout, CommandsAreEscapedSoTheCompiledProgramGetsTheTypedBytes) {
    struct {
        std::string typed, literal;
    } cases[] = {
        {"", ""},
        {"dir /w", "dir /w"},
        {"  \tcopy a b\t ", "  \tcopy a b\t "},
        {"echo 100% %PATH% %%i", "echo 100% %PATH% %%i"},
        {"cd C:\\temp", "cd C:\\\\temp"},
        {"echo \"hi\"", "echo \\\"hi\\\""},
        {"echo \");exit(1);(\"", "echo \\\");exit(1);(\\\""},
        {"why? a?b?", "why? a?b?"},
        {"echo ?"
         "?!",
         "echo ?\\?!"}, // split so that no trigraph forms here
        {"?"
         "?"
         "?/",
         "?\\?\\?/"},
        {"\x1b[1mbold", "\\033[1mbold"},
        {"a\rb", "a\\015b"},
        {"\x01"
         "7",
         "\\0017"},
        {"\x7f", "\\177"},
        {std::string("a\0b", 3), "a\\000b"},
        {"caf\xe9 \x80\xff", "caf\xe9 \x80\xff"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(command_line(c.typed), "\tsystem(\"" + c.literal + "\");\n") << c.typed;
}

TEST(SourceLayout, EachLineOfARunIsOneCommand) {
    struct {
        std::string lines, text;
    } cases[] = {
        {"a\nb", "\tsystem(\"a\");\n\tsystem(\"b\");\n"},
        {"a\r\n\nb\r", "\tsystem(\"a\");\n\tsystem(\"\");\n\tsystem(\"b\\015\");\n"},
        {"a\rb\n?\n?", "\tsystem(\"a\\015b\");\n\tsystem(\"?\");\n\tsystem(\"?\");\n"},
        {"\n", "\tsystem(\"\");\n\tsystem(\"\");\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(command_line(c.lines), c.text) << c.lines;
}

} // namespace
