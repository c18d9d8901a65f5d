#include "converter.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string banner = "\t+----------------------------+\n"
                           "\t|NORVANE                     |\n"
                           "\t|     CODED BY qortez7       |\n"
                           "\t+----------------------------+\n"
                           "\nEnter the output file name(with .c extension): ";
const std::string instructions =
    "\nNow start entering DOS commands: \n"
    "or edit a .bat or .cmd code and copy all the codes then paste it in the window"
    "\nWhen finished, type 'end' for the end of commands\n"
    "\nStart:\n\n";
const std::string success = "\n\nFile successfully created"
                            "\nNow compile it with any C compiler"
                            "\nThanks for using this app";
const std::string opening = "/*\nNorvane\nBy qortez7\n*/\n"
                            "#include <stdio.h>\n#include <conio.h>\n#include <stdlib.h>\n"
                            "int main()\n{\n";
const std::string closing = "\tprintf(\"\\n\");\n\tgetch();\n}";

std::string program(const std::vector<std::string> &literals) {
    std::string text = opening;
    for (const auto &literal : literals)
        text += "\tsystem(\"" + literal + "\");\n";
    return text + closing;
}

struct conversation {
    std::string console;
    int status;
    int key_waits = 0;
    std::string console_at_key_wait; // what the console showed when the key wait began
    std::string unread_input;
};

// Input whose reading fails after the bytes given, as a disk or a pipe can fail.
class failing_input : public std::streambuf {
  public:
    explicit failing_input(std::string good) : good_(std::move(good)) {
        setg(good_.data(), good_.data(), good_.data() + good_.size());
    }

  private:
    int_type underflow() override { throw std::ios_base::failure("read error"); }
    std::string good_;
};

// Runs a whole dialogue with a buffered console, as the real one is; with `then_fails`, reading
// fails after the input.
conversation converse(const std::string &input, const temp_dir &dir, bool then_fails = false) {
    failing_input failing(input);
    std::istringstream clean(input);
    std::istream in(then_fails ? static_cast<std::streambuf *>(&failing) : clean.rdbuf());
    const std::string console_path = dir / "console.txt";
    std::ofstream out(console_path, std::ios::binary);
    conversation talk{};
    talk.status = run_conversion(
        in, out,
        [&] {
            ++talk.key_waits;
            talk.console_at_key_wait = read_file(console_path);
        },
        [](const std::string &) { return false; });
    out.close();
    talk.console = read_file(console_path);
    if (!then_fails) talk.unread_input.assign(std::istreambuf_iterator<char>(in), {});
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
        const conversation talk = converse(dir / "out.c" + "\n" + c.lines, dir);
        EXPECT_EQ(talk.console, banner + instructions + success) << c.what;
        EXPECT_EQ(talk.console_at_key_wait, talk.console) << c.what;
        EXPECT_EQ(talk.key_waits, 1) << c.what;
        EXPECT_EQ(talk.status, 0) << c.what;
        EXPECT_EQ(read_file(dir / "out.c"), program(c.literals)) << c.what;
        EXPECT_EQ(talk.unread_input, c.unread) << c.what;
    }
}

// Input is taken in blocks of 64 KiB. A line longer than a block, and a CR LF line end and the
// terminator placed across the end of a block, must come out as if read line by line.
TEST(Dialogue, LinesAcrossInputBlocks) {
    const std::size_t block = 1 << 16;
    for (std::size_t shift = 0; shift < 9; ++shift) {
        temp_dir dir;
        const std::string long_command(block + 100, 'y');
        std::string commands = long_command + "\r\n";
        std::vector<std::string> literals = {long_command};
        for (int i = 0; commands.size() < 2 * block - 300; ++i) {
            commands += "echo " + std::string(i % 97, 'x') + "\\" + (i % 3 ? "\r\n" : "\n");
            literals.push_back("echo " + std::string(i % 97, 'x') + "\\\\");
        }
        // The filler ends so that "end" starts `shift` bytes before the end of the second block.
        const std::string filler(2 * block - shift - commands.size() - 2, 'z');
        commands += filler + "\r\nend\r\nver\n";
        literals.push_back(filler);
        const conversation talk = converse(dir / "out.c" + "\n" + commands, dir);
        EXPECT_EQ(read_file(dir / "out.c"), program(literals)) << shift;
        EXPECT_EQ(talk.unread_input, "ver\n") << shift;
    }
}

// Input that arrives a line at a time, as typed, noting what the console showed at each read.
class typist : public std::streambuf {
  public:
    typist(std::vector<std::string> lines, std::string console_path)
        : lines_(std::move(lines)), console_path_(std::move(console_path)) {}
    std::vector<std::string> seen_at_reads;

  private:
    int_type underflow() override {
        if (gptr() != egptr()) return traits_type::to_int_type(*gptr());
        seen_at_reads.push_back(read_file(console_path_));
        if (next_ == lines_.size()) return traits_type::eof();
        std::string &line = lines_[next_++];
        setg(line.data(), line.data(), line.data() + line.size());
        return traits_type::to_int_type(line[0]);
    }
    // Like a terminal, a read brings what is typed so far, never more than one line.
    std::streamsize xsgetn(char *bytes, std::streamsize count) override {
        if (gptr() == egptr() && underflow() == traits_type::eof()) return 0;
        const std::streamsize size = std::min<std::streamsize>(count, egptr() - gptr());
        std::copy_n(gptr(), size, bytes);
        gbump(static_cast<int>(size));
        return size;
    }
    std::vector<std::string> lines_;
    std::string console_path_;
    std::size_t next_ = 0;
};

TEST(Dialogue, EachTextIsShownBeforeTheNextRead) {
    temp_dir dir;
    // The name line comes in two pieces, so dropping its rest needs a read of its own.
    typist keyboard({dir / "out.c" + " ", "rest\n", "dir\n", "end\n"}, dir / "console.txt");
    std::istream in(&keyboard);
    std::ofstream out(dir / "console.txt", std::ios::binary);
    run_conversion(
        in, out, [] {}, [](const std::string &) { return false; });
    const std::string shown = banner + instructions;
    EXPECT_EQ(keyboard.seen_at_reads, (std::vector<std::string>{banner, shown, shown, shown}));
    EXPECT_EQ(read_file(dir / "out.c"), program({"dir"}));
}

TEST(Dialogue, FileNameIsTheFirstWordOfTheNameLine) {
    const std::string long_name(200, 'n');
    struct {
        const char *what;
        std::string before, name, after;
    } cases[] = {
        {"plain", "", "out.c", "\n"},
        {"empty lines first", "\n \t\r\n\v\f\n", "out.c", "\n"},
        {"second word dropped with the line", "  ", "out.c", " second.c\n"},
        {"CR LF", "", "out.c", "\r\n"},
        {"long name", "", long_name + ".c", "\n"},
    };
    for (const auto &c : cases) {
        temp_dir dir;
        const conversation talk = converse(c.before + dir / c.name + c.after + "echo\nend\n", dir);
        EXPECT_EQ(talk.console, banner + instructions + success) << c.what;
        EXPECT_EQ(read_file(dir / c.name), program({"echo"})) << c.what;
        EXPECT_FALSE(std::filesystem::exists(dir / "second.c")) << c.what;
    }
}

TEST(Dialogue, ExistingFileIsEmptiedAndRewritten) {
    temp_dir dir;
    std::ofstream(dir / "out.c") << std::string(5000, 'o');
    converse(dir / "out.c" + "\nend\n", dir);
    EXPECT_EQ(read_file(dir / "out.c"), program({}));
}

// A name cut short by a failed read is not the name typed.
TEST(Dialogue, InputEndingBeforeANameCreatesNothing) {
    temp_dir dir;
    for (const auto &[input, then_fails] :
         {std::pair{std::string(), false}, {"\n \n\t", false}, {dir / "abc", true}}) {
        const conversation talk = converse(input, dir, then_fails);
        EXPECT_EQ(talk.console, banner);
        EXPECT_EQ(talk.status, 1);
        EXPECT_EQ(talk.key_waits, 0);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / ""), {}), 1); // console
    }
}

TEST(Dialogue, FileThatCannotBeOpenedEndsTheRun) {
    temp_dir dir;
    const conversation talk = converse(dir / "missing/out.c" + "\necho\nend\n", dir);
    EXPECT_EQ(talk.console, banner + "Some error occurred while opening file");
    EXPECT_EQ(talk.console_at_key_wait, talk.console);
    EXPECT_EQ(talk.key_waits, 1);
    EXPECT_EQ(talk.status, 1);
}

TEST(Dialogue, WriteFailureIsNotReportedAsSuccess) {
    temp_dir dir;
    const conversation talk = converse("/dev/full\necho\nend\n", dir);
    EXPECT_EQ(talk.console, banner + instructions + "\n\nSome error occurred while writing file");
    EXPECT_EQ(talk.console_at_key_wait, talk.console);
    EXPECT_EQ(talk.key_waits, 1);
    EXPECT_EQ(talk.status, 1);
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
        failing_input input(dir / "out.c" + after_name);
        std::istream in(&input);
        std::ostringstream out;
        int key_waits = 0;
        const int status = run_conversion(
            in, out, [&] { ++key_waits; }, [](const std::string &) { return false; });
        EXPECT_EQ(out.str(),
                  banner + instructions + "\n\nSome error occurred while reading commands");
        EXPECT_EQ(read_file(dir / "out.c"), program(literals)) << after_name;
        EXPECT_EQ(key_waits, 1);
        EXPECT_EQ(status, 1);
    }
}

} // namespace
