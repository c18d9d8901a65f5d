#include "converter.h"

#include "platform.h"
#include "source_layout.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

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

// Hands over the next block of input: what the stream holds already or, when it holds nothing,
// what one read of its source brings (a single line when a person is typing). Pending console
// text is shown first, as that read may wait for the person.
std::size_t read_block(std::istream &in, std::ostream &out, std::vector<char> &block) {
    std::streambuf &source = *in.rdbuf();
    if (source.in_avail() <= 0) {
        out.flush();
        if (source.sgetc() == std::char_traits<char>::eof()) return 0;
    }
    const auto wanted = std::min(source.in_avail(), static_cast<std::streamsize>(block.size()));
    return static_cast<std::size_t>(source.sgetn(block.data(), wanted));
}

// A carriage return before the line feed is dropped, as the Windows console does, so CR LF
// input converts the same everywhere.
std::string_view without_cr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// Moves the generated text gathered so far into the file, in one large write.
void pass_on(std::string &text, std::ostream &fp) {
    fp.write(text.data(), static_cast<std::streamsize>(text.size()));
    text.clear();
}

// Writes the whole lines in [from, to), each ended by a line feed, as commands.
void write_lines(std::string &text, const char *from, const char *to) {
    if (from != to)
        write_commands(text, without_cr({from, static_cast<std::size_t>(to - 1 - from)}));
}

// Writes one command for each line up to the terminator or the end of input; a last line
// without a line end is still a line. Only the line at hand is held: in the block, or in
// `carried` while it spans blocks. The lines of a block before the terminator are written
// together, in one pass.
void convert_commands(std::istream &in, std::ostream &out, std::ostream &fp) {
    std::vector<char> block(1 << 16);
    std::string carried;
    std::string text;
    for (std::size_t size; (size = read_block(in, out, block)) > 0; pass_on(text, fp)) {
        const char *const stop = block.data() + size;
        const char *unwritten = block.data();
        const char *line = unwritten;
        while (const auto *line_end =
                   static_cast<const char *>(std::memchr(line, '\n', stop - line))) {
            std::string_view whole(line, line_end - line);
            if (!carried.empty()) whole = carried.append(whole);
            if (without_cr(whole) == terminator) {
                write_lines(text, unwritten, line);
                pass_on(text, fp);
                // What follows the terminator stays unread: give it back to the stream.
                for (const char *unread = stop; unread != line_end + 1;)
                    in.rdbuf()->sputbackc(*--unread);
                return;
            }
            if (!carried.empty()) {
                write_commands(text, without_cr(carried));
                carried.clear();
                unwritten = line_end + 1;
            }
            line = line_end + 1;
        }
        write_lines(text, unwritten, line);
        carried.append(line, stop);
    }
    if (!carried.empty() && without_cr(carried) != terminator)
        write_commands(text, without_cr(carried));
    pass_on(text, fp);
}

bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The file name: the first word of the input, after any white space. An editor may have put a
// UTF-8 byte-order mark before it, at the very start of the input, which is no part of the
// name. Reading stops past the longest name a file can have, as on `norvane < /dev/zero`.
std::string read_name(std::istream &in) {
    const std::string byte_order_mark = "\xEF\xBB\xBF";
    std::string name;
    for (const char b : byte_order_mark) {
        if (in.peek() != static_cast<unsigned char>(b)) break;
        name += static_cast<char>(in.get());
    }
    if (name == byte_order_mark) name.clear();
    if (name.empty()) in >> std::ws;
    for (int c; name.size() <= path_limit && (c = in.peek()) != std::char_traits<char>::eof() &&
                !is_space(c);
         in.get())
        name += static_cast<char>(c);
    return name;
}

} // namespace

int run_conversion(std::istream &in, std::ostream &out, const std::function<void()> &wait_for_key,
                   const std::function<bool(const std::string &)> &is_input) {
    // Every text is flushed before the next read, which may wait for a person to type.
    out << banner << name_prompt << std::flush;

    const std::string filename = read_name(in);
    if (filename.empty()) return 1; // input ended before a name: there is nothing to create

    // A name no file can have, or the script being read, which writing would destroy.
    const bool can_write = filename.size() <= path_limit &&
                           filename.find('\0') == std::string::npos && !is_input(filename);
    std::ofstream fp;
    if (can_write) fp.open(filename);
    if (!fp.is_open()) {
        out << open_failure << std::flush;
        wait_for_key();
        return 1;
    }
    std::string text;
    write_opening(text);
    pass_on(text, fp);
    out << instructions << std::flush;
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n'); // rest of the name line

    convert_commands(in, out, fp);
    write_closing(text);
    pass_on(text, fp);

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
    keep_standard_streams_open();
    std::ios::sync_with_stdio(false);
    return run_conversion(std::cin, std::cout, console_wait_for_key,
                          [](const std::string &name) { return is_standard_input(name.c_str()); });
}
#endif
