#include "commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

std::string times(int count, const std::string &text) {
    std::string repeated;
    while (count-- > 0)
        repeated += text;
    return repeated;
}

// Each line is one call, its bytes escaped so that the compiled program gets them as typed.
TEST(Scan, CommandLines) {
    struct {
        std::string lines;
        std::vector<std::string> literals;
    } cases[] = {
        {"", {}},
        {"\n", {""}},
        {"dir /w", {"dir /w"}},
        {"  \tcopy a b\t \n", {"  \tcopy a b\t "}},
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
        {"a\nb", {"a", "b"}},
        {"a\r\n\nb\rc\r", {"a", "", "b\\015c"}},
        {"a\r\r\n", {"a\\015"}},
        {"a\rb\n?\n?", {"a\\015b", "?", "?"}},
        {"x\nend\ny", {"x"}},
        {"x\nend\r\ny", {"x"}},
        {"end", {}},
        {"End\n end\nend \nend\r\r\nen\nend", {"End", " end", "end ", "end\\015", "en"}},
        // Bytes from 0x80 up stay as they are but before a backslash, a quote or the end, where
        // a double-byte code page could read them with it as one character: Shift-JIS ソ is
        // 83 5C and 表 95 5C; 日本 is 93 FA 96 7B, whose 7B is plain.
        {"caf\xe9 \x80\xff x", {"caf\xe9 \x80\xff x"}},
        {"caf\xe9", {"caf\\351"}},
        {"dir \x83\\", {"dir \\203\\\\"}},
        {"C:\\\x93\xfa\x96\x7b\\\x83\\\x95\\", {"C:\\\\\x93\xfa\x96\x7b\\\\\\203\\\\\\225\\\\"}},
        {"C:\\\x93\xfa\\x", {"C:\\\\\\223\\372\\\\x"}},
        {"\xe9\"\xe9\x01\xe9\t\xe9\r", {"\\351\\\"\\351\\001\xe9\t\\351"}},
        // A line whose text before its line end fills more than the 64 bytes of its step.
        {std::string(40, '\\') + "\n" + std::string(30, 'x'),
         {std::string(80, '\\'), std::string(30, 'x')}},
        {"\xe9?"
         "?\xe9?",
         {"\xe9?\\?\xe9?"}},
        // A run too long to hold, whose octal text is written a step at a time.
        {std::string(3000, '\xe9') + "x", {times(3000, "\\351") + "x"}},
        {std::string(1024, '\xe9') + "x", {std::string(1024, '\xe9') + "x"}},
        {std::string(1024, '\xe9'), {times(1024, "\\351")}},
        // The terminator line starting a step, and a pair of '?' across two steps.
        {std::string(63, 'a') + "\nend\n" + std::string(64, 'x'), {std::string(63, 'a')}},
        {std::string(63, 'a') + "?"
                                "?=",
         {std::string(63, 'a') + "?\\?="}},
        // The edges of each class of bytes, each between a backslash and a quote.
        {std::string("\\\0\"\\\x08\"\\\t\"\\\n\"\\\r\"\\\x1a\"\\\x1f\"\\ \"\\~\"\\\x7f\"\\"
                     "\x80\"\\\xff\"",
                     36),
         {R"(\\\000\"\\\010\"\\)"
          "\t"
          R"(\"\\)",
          R"(\"\\\015\"\\\032\"\\\037\"\\ \"\\~\"\\\177\"\\\200\"\\\377\")"}},
    };
    for (const auto &c : cases) {
        std::string expected;
        for (const auto &literal : c.literals)
            expected += "\tsystem(\"" + literal + "\");\n";
        for (const auto &path : scan_paths())
            for (const std::size_t text_limit : {std::size_t(0), piece_size})
                EXPECT_EQ(commands_text(c.lines, path.scan, text_limit), expected)
                    << path.name << ", text limit " << text_limit << ": " << c.lines;
    }
}

// A check of the processor that never picks SSE2 would change no byte written: the processor is
// asked here by itself.
TEST(Scan, EveryProcessorWithSse2ScansWithIt) {
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax, ebx, ecx, edx;
    const bool has_sse2 = __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (edx & bit_SSE2);
    const auto paths = scan_paths();
    EXPECT_EQ(std::count_if(paths.begin(), paths.end(),
                            [](const auto &path) { return std::string(path.name) == "sse2"; }),
              has_sse2 ? 1 : 0);
#else
    GTEST_SKIP() << "no SSE2 on this architecture";
#endif
}

} // namespace
