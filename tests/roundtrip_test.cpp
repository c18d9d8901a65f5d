// Compiles generated programs with the host C compiler and checks that each system() call
// receives exactly the typed bytes.
#include "commands.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

// The stand-in conio.h makes each system() call print its argument and a NUL.
std::vector<std::string> commands_run_by(const std::vector<std::string> &commands,
                                         const std::string &c_standard,
                                         const std::string &options = "",
                                         command_scanner scan = write_commands) {
    temp_dir dir;
    std::string lines;
    for (const auto &cmd : commands)
        lines += cmd + "\n";
    std::ofstream(dir / "prog.c", std::ios::binary)
        << fixed_text(write_opening) + commands_text(lines, scan) + fixed_text(write_closing);
    const std::string compile = std::string(HOST_CC) + " -std=" + c_standard + " " + options +
                                " -Wall -Werror -Wno-return-type -I" CONIO_STUB_DIR " -o " +
                                dir / "prog" + " " + dir / "prog.c";
    if (std::system(compile.c_str()) != 0) {
        ADD_FAILURE() << "does not compile: " << compile;
        return {};
    }

    std::string output;
    if (FILE *run = popen((dir / "prog").c_str(), "r")) {
        char chunk[4096];
        for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, run)) > 0;)
            output.append(chunk, n);
        pclose(run);
    }
    std::vector<std::string> ran;
    std::size_t from = 0;
    for (std::size_t nul; (nul = output.find('\0', from)) != std::string::npos; from = nul + 1)
        ran.push_back(output.substr(from, nul - from));
    EXPECT_EQ(output.substr(from), "\n"); // the generated program's closing printf
    return ran;
}

void expect_same_commands(const std::vector<std::string> &ran,
                          const std::vector<std::string> &typed, const char *standard) {
    ASSERT_EQ(ran.size(), typed.size()) << standard;
    for (std::size_t i = 0; i < typed.size(); ++i)
        EXPECT_EQ(ran[i], typed[i]) << standard << ", command " << i;
}

const char *const standards[] = {"c89", "gnu11"}; // trigraphs on, and off

TEST(RoundTrip, TrickyCommands) {
    const std::vector<std::string> commands = {
        "",
        "cd C:\\temp\\new",
        "echo \"quoted\" \\\"both\\\"",
        "echo ?"
        "?= ?"
        "?/ ?"
        "?' ?"
        "?( ?"
        "?) ?"
        "?! ?"
        "?< ?"
        "?> ?"
        "?- ?"
        "??", // split so that no trigraph forms here
        "echo 100% %PATH% %%i %1",
        "  leading and trailing\t ",
        "\x1b[1m\x01\x7f\x1f"
        "0123",
        "echo \");puts(\"injected",
        "\\",
        "caf\xe9 \x80\xff",
        std::string(2000, 'x'),
    };
    for (const char *standard : standards)
        expect_same_commands(commands_run_by(commands, standard), commands, standard);
}

TEST(RoundTrip, RandomBytes) {
    // Half the bytes come from those that matter to C string literals, so they meet often.
    const std::string tricky = "??\\\"%\t\r!=/'()<>-07\x83\x95\xe9";
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> byte(1, 255), pick(0, int(tricky.size()) - 1), length(0, 80),
        coin(0, 1);
    std::vector<std::string> commands(300);
    for (auto &cmd : commands) {
        for (int n = length(random); n > 0; --n) {
            const char b = coin(random) ? tricky[pick(random)] : static_cast<char>(byte(random));
            if (b != '\n') cmd += b;
        }
        while (!cmd.empty() && cmd.back() == '\r') // the end of a line, not part of the command
            cmd.pop_back();
    }
    for (const auto &path : scan_paths())
        for (const char *standard : standards) {
            SCOPED_TRACE(path.name);
            expect_same_commands(commands_run_by(commands, standard, "", path.scan), commands,
                                 standard);
        }
}

// A compiler that reads its source in a double-byte code page takes a byte from 0x81 up and
// the byte after it as one character: Shift-JIS ソ, 表 and 能 end in 0x5C, a backslash, and 日 is
// 93 FA. The text must still reach system() byte for byte.
TEST(RoundTrip, ShiftJisText) {
    const std::vector<std::string> commands = {
        "echo \x83\x5c",                               // ソ
        "dir C:\\\x95\x5c\\\x94\x5c",                  // C:\表\能
        "cd C:\\\x93\xfa\x96\x7b\\\x83\x5c\x95\x5c\\", // C:\日本\ソ表\ and more
        "echo \"\x93\xfa\"\x93\xfa",                   // "日"日
        "echo \x83\x5c?\x83\x5c??",
    };
    for (const char *standard : standards)
        expect_same_commands(
            commands_run_by(commands, standard, "-finput-charset=CP932 -fexec-charset=CP932"),
            commands, standard);
}

} // namespace
