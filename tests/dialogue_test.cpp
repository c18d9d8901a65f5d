#include "commands.h"
#include "dialogue.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

const std::string banner = expected_text("banner.txt"),
                  instructions = expected_text("instructions.txt"),
                  success = expected_text("success.txt");
std::string program(const std::vector<std::string> &literals) {
    std::string calls;
    for (const auto &literal : literals)
        calls += "\tsystem(\"" + literal + "\");\n";
    return expected_program(calls);
}

// A dialogue on `input`, read in one piece; with `then_fails`, reading fails after it. The
// input left unread is in `unread`.
conversation converse(const std::string &input, bool then_fails = false,
                      std::string *unread = nullptr) {
    scripted_input script{input};
    script.then_fails = then_fails;
    conversation talk;
    converse(script, talk);
    if (unread) *unread = input.substr(script.position);
    return talk;
}

TEST(Dialogue, CompletedConversions) {
    const std::string long_command(10000, 'x');
    struct {
        const char *what;
        std::string lines; // after the name line "out.c\n"
        std::vector<std::string> literals;
        std::string unread;
    } cases[] = {
        {"no commands", "end\n", {}, ""},
        {"commands in order",
         "cd C:\\temp\necho \"hi\"\nend\n",
         {"cd C:\\\\temp", "echo \\\"hi\\\""},
         ""},
        {"lines after the terminator stay unread", "ver\nend\nvol\n", {"ver"}, "vol\n"},
        {"only the exact word ends",
         "END\n end\nend \nEnd\nend\n",
         {"END", " end", "end ", "End"},
         ""},
        {"an empty line is a command", "\n\t\nend\n", {"", "\t"}, ""},
        {"CR LF line ends", "echo a\r\n\r\nend\r\nvol\r\n", {"echo a", ""}, "vol\r\n"},
        {"only one CR is a line end", "echo a\r\r\nend\r\n", {"echo a\\015"}, ""},
        {"input ends without the terminator", "echo a\necho b\n", {"echo a", "echo b"}, ""},
        {"last line without a line end", "echo a\necho b", {"echo a", "echo b"}, ""},
        {"terminator without a line end", "echo a\nend", {"echo a"}, ""},
        {"long lines are whole", long_command + "\nend\n", {long_command}, ""},
    };
    for (const auto &c : cases) {
        temp_dir dir;
        std::string unread;
        const conversation talk = converse(dir / "out.c" + "\n" + c.lines, false, &unread);
        EXPECT_EQ(talk.console, banner + instructions + success) << c.what;
        EXPECT_EQ(talk.console_at_key_wait, talk.console) << c.what;
        EXPECT_EQ(talk.key_waits, 1) << c.what;
        EXPECT_EQ(talk.status, 0) << c.what;
        EXPECT_EQ(read_file(dir / "out.c"), program(c.literals)) << c.what;
        EXPECT_EQ(unread, c.unread) << c.what;
    }
}

// A line longer than a block, and a CR LF line end and the terminator placed across the end of
// a block, must come out as if read line by line.
TEST(Dialogue, LinesAcrossInputBlocks) {
    for (std::size_t shift = 0; shift < 9; ++shift) {
        temp_dir dir;
        const std::string long_command(block_size + 100, 'y');
        std::string commands = long_command + "\r\n";
        std::vector<std::string> literals = {long_command};
        for (int i = 0; commands.size() < 2 * block_size - 300; ++i) {
            commands += "echo " + std::string(i % 97, 'x') + "\\" + (i % 3 ? "\r\n" : "\n");
            literals.push_back("echo " + std::string(i % 97, 'x') + "\\\\");
        }
        // The filler ends so that "end" starts `shift` bytes before the end of the second block.
        const std::string filler(2 * block_size - shift - commands.size() - 2, 'z');
        commands += filler + "\r\nend\r\nver\n";
        literals.push_back(filler);
        std::string unread;
        converse(dir / "out.c" + "\n" + commands, false, &unread);
        EXPECT_EQ(read_file(dir / "out.c"), program(literals)) << shift;
        EXPECT_EQ(unread, "ver\n") << shift;
    }
}

TEST(Dialogue, EachTextIsShownBeforeTheNextRead) {
    temp_dir dir;
    // Typed a line at a time, and the name line in two pieces, so dropping its rest needs a read
    // of its own.
    const std::vector<std::string> lines{dir / "out.c" + " ", "rest\n", "dir\n", "end\n"};
    scripted_input keyboard{lines[0] + lines[1] + lines[2] + lines[3]};
    keyboard.sizes = {lines[0].size(), lines[1].size(), lines[2].size(), lines[3].size()};
    std::vector<std::string> seen_at_reads;
    conversation talk;
    keyboard.on_read = [&] { seen_at_reads.push_back(talk.console); };
    converse(keyboard, talk);
    const std::string shown = banner + instructions;
    EXPECT_EQ(seen_at_reads, (std::vector<std::string>{banner, shown, shown, shown}));
    EXPECT_EQ(read_file(dir / "out.c"), program({"dir"}));
}

TEST(Dialogue, FileNameIsTheFirstWordOfTheNameLine) {
    const std::string long_name(200, 'n');
    temp_dir dir;
    struct {
        const char *what;
        std::string before, name, after;
    } cases[] = {
        {"plain", "", "out.c", "\n"},
        {"empty lines first", "\n \t\r\n\v\f\n", "out.c", "\n"},
        {"second word dropped with the line", "  ", "out.c", " " + dir / "second.c" + "\n"},
        {"CR LF", "", "out.c", "\r\n"},
        {"long name", "", long_name + ".c", "\n"},
    };
    for (const auto &c : cases) {
        const conversation talk = converse(c.before + dir / c.name + c.after + "echo\nend\n");
        EXPECT_EQ(talk.console, banner + instructions + success) << c.what;
        EXPECT_EQ(read_file(dir / c.name), program({"echo"})) << c.what;
        std::filesystem::remove(dir / c.name);
        EXPECT_TRUE(std::filesystem::is_empty(dir / "")) << c.what;
    }
}

TEST(Dialogue, ExistingFileIsEmptiedAndRewritten) {
    temp_dir dir;
    std::ofstream(dir / "out.c") << std::string(5000, 'o');
    converse(dir / "out.c" + "\nend\n");
    EXPECT_EQ(read_file(dir / "out.c"), program({}));
}

// A name cut short by a failed read is not the name typed. Input that ends at a DOS end-of-file
// mark is left unread from the mark on.
TEST(Dialogue, InputEndingBeforeANameCreatesNothing) {
    temp_dir dir;
    const std::string after_mark = std::string("\x1a") += dir / "m.c" + "\necho\nend\n";
    const std::tuple<std::string, bool, std::string> cases[] = {
        {"", false, ""},
        {"\n \n\t", false, ""},
        {dir / "abc", true, ""},
        {" \n" + after_mark, false, after_mark},
    };
    for (const auto &[input, then_fails, unread_after] : cases) {
        std::string unread;
        const conversation talk = converse(input, then_fails, &unread);
        EXPECT_EQ(talk.console, banner);
        EXPECT_EQ(talk.status, 1);
        EXPECT_EQ(talk.key_waits, 0);
        EXPECT_EQ(unread, unread_after);
        EXPECT_TRUE(std::filesystem::is_empty(dir / ""));
    }
}

TEST(Dialogue, FileThatCannotBeOpenedEndsTheRun) {
    temp_dir dir;
    const conversation talk = converse(dir / "missing/out.c" + "\necho\nend\n");
    EXPECT_EQ(talk.console, banner + "Some error occurred while opening file");
    EXPECT_EQ(talk.console_at_key_wait, talk.console);
    EXPECT_EQ(talk.key_waits, 1);
    EXPECT_EQ(talk.status, 1);
}

// Also where the program is one whole piece: the write that fails is the last with any text.
// Where reading failed too, the file not written is what the user is told of.
TEST(Dialogue, WriteFailureIsNotReportedAsSuccess) {
    for (const auto &[lines, then_fails] : {std::pair{"\nend\n", false}, {"\necho", true}})
        for (const std::string &command :
             {std::string("echo"), std::string(piece_size - program({""}).size(), 'x')}) {
            const conversation talk = converse("/dev/full\n" + command + lines, then_fails);
            EXPECT_EQ(talk.console,
                      banner + instructions + "\n\nSome error occurred while writing file");
            EXPECT_EQ(talk.console_at_key_wait, talk.console);
            EXPECT_EQ(talk.key_waits, 1);
            EXPECT_EQ(talk.status, 1) << command.size();
        }
}

// The list ends where reading failed, the file still gets its closing, and the run is reported
// as failed: in the commands, and in the rest of the name line.
TEST(Dialogue, ReadFailureEndsTheListAndIsReported) {
    temp_dir dir;
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"\necho a\necho b", {"echo a", "echo b"}},
        {" rest", {}},
        {"\necho a\nend", {"echo a", "end"}}, // the line may be "endlocal"
    };
    for (const auto &[after_name, literals] : cases) {
        const conversation talk = converse(dir / "out.c" + after_name, true);
        EXPECT_EQ(talk.console,
                  banner + instructions + "\n\nSome error occurred while reading commands");
        EXPECT_EQ(read_file(dir / "out.c"), program(literals)) << after_name;
        EXPECT_EQ(talk.key_waits, 1);
        EXPECT_EQ(talk.status, 1);
    }
}

} // namespace
