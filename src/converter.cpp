#include "converter.h"

#include "console.h"
#include "source_layout.h"

#include <fstream>
#include <iostream>
#include <limits>
#include <string>

namespace {

const char banner[] = "\t+----------------------------+\n"
                      "\t|NORVANE                     |\n"
                      "\t|     CODED BY qortez7       |\n"
                      "\t+----------------------------+\n";
const char name_prompt[] = "\nEnter the output file name(with .c extension): ";
const char open_failure[] = "Some error occurred while opening file";
const char instructions[] =
    "\nNow start entering DOS commands: \n"
    "or edit a .bat or .cmd code and copy all the codes then paste it in the window"
    "\nWhen finished, type 'end' for the end of commands\n"
    "\nStart:\n\n";
const char success[] = "\n\nFile successfully created"
                       "\nNow compile it with any C compiler"
                       "\nThanks for using this app";
const char write_failure[] = "\n\nSome error occurred while writing file";
const char terminator[] = "end";

// Reads one line without its line end. A carriage return before the line feed is dropped, as
// the Windows console does, so CR LF input converts the same everywhere.
bool read_line(std::istream &in, std::string &line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

} // namespace

int run_conversion(std::istream &in, std::ostream &out, const std::function<void()> &wait_for_key) {
    out << banner << name_prompt;

    std::string filename;
    if (!(in >> filename)) {
        out.flush();
        return 1; // input ended before a name: there is nothing to create
    }

    std::ofstream fp(filename);
    if (!fp) {
        out << open_failure << std::flush;
        wait_for_key();
        return 1;
    }
    write_opening(fp);
    out << instructions;
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n'); // rest of the name line

    // End of input closes the list just as the terminator does.
    std::string cmd;
    while (read_line(in, cmd) && cmd != terminator)
        write_command(fp, cmd);
    write_closing(fp);

    // Closing flushes the buffered text, so only now is it known whether the file is whole.
    fp.close();
    const bool written = !fp.fail();
    out << (written ? success : write_failure) << std::flush;
    wait_for_key();
    return written ? 0 : 1;
}

#ifndef NORVANE_NO_MAIN // the test binary links the dialogue with a main of its own
int main() {
    // Unsynchronised standard streams are buffered, which long redirected scripts need.
    // std::cin stays tied to std::cout, so every text is shown before the next read.
    std::ios::sync_with_stdio(false);
    return run_conversion(std::cin, std::cout, console_wait_for_key);
}
#endif
