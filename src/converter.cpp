#include "converter.h"

#include "input_buffer.h"
#include "platform.h"
#include "source_layout.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
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
const char read_failure[] = "\n\nSome error occurred while reading commands";

// Input is taken in blocks of this size, and the generated text written out once it passes
// this much: both stay in the processor's caches.
constexpr std::size_t block_size = 1 << 16;
constexpr std::size_t text_limit = 1 << 16;

// Hands over the next block of input: what the stream holds already or, when it holds nothing,
// what one read of its source brings (a single line when a person is typing), which the
// program's standard input buffer reads straight into `block`. Pending console text is shown
// first, as that read may wait for the person.
std::size_t read_block(std::istream &in, std::ostream &out, char *block) {
    std::streambuf &source = *in.rdbuf();
    std::streamsize wanted = source.in_avail();
    if (wanted <= 0) {
        out.flush();
        wanted = block_size;
    }
    return static_cast<std::size_t>(
        source.sgetn(block, std::min<std::streamsize>(wanted, block_size)));
}

// Moves the generated text gathered so far into the file, in one large write.
void pass_on(std::string &text, std::ostream &fp) {
    fp.write(text.data(), static_cast<std::streamsize>(text.size()));
    text.clear();
}

// Writes one command for each line up to the terminator or the end of input, block by block;
// a last line without a line end is still a line. Only the few bytes whose text depends on
// input not read yet are held from one block to the next, so memory stays the same for any
// input. The text goes to the file in pieces that end at multiples of text_limit in it, which
// the system writes fastest; only the last piece is shorter. A failed read ends the list as
// the end of input does, and so does running out of memory; either returns false. The input
// after the terminator is given back to the stream, where it can seek back to it (a file), so
// that whoever reads on finds it.
bool convert_commands(std::istream &in, std::ostream &out, std::ostream &fp) try {
    std::vector<char> input(longest_held_run + block_size + input_slack);
    // Only ever written before it is read, so left as it comes from the allocator.
    const std::unique_ptr<char[]> text(
        new char[text_limit + text_room(longest_held_run + block_size)]);
    // Where the file stands within its current piece: all that the piece ends depend on, and
    // never more than text_limit, however large the file grows on a 32-bit system.
    auto piece_filled = static_cast<std::size_t>(std::max<std::streamoff>(fp.tellp(), 0) %
                                                 static_cast<std::streamoff>(text_limit));
    std::size_t unwritten = 0; // text at the front of `text`, short of a whole piece
    const auto write_whole_pieces = [&] {
        if (piece_filled + unwritten < text_limit) return;
        const std::size_t whole =
            (piece_filled + unwritten) / text_limit * text_limit - piece_filled;
        fp.write(text.get(), static_cast<std::streamsize>(whole));
        piece_filled = 0;
        unwritten -= whole;
        std::memmove(text.get(), text.get() + whole, unwritten);
    };
    command_state state;
    std::size_t held = 0;
    for (bool read_failed = false;;) {
        std::size_t size = 0;
        try {
            read_failed = read_failed || in.bad(); // the name line's rest may have failed
            if (!read_failed) size = read_block(in, out, input.data() + held);
        } catch (const std::exception &) {
            read_failed = true;
        }
        const input_end then = read_failed ? input_end::by_error
                               : size == 0 ? input_end::at_end
                                           : input_end::more;
        const char *const to = input.data() + held + size;
        commands_written step{input.data(), text.get(), stop_reason::text_full};
        while (step.reason == stop_reason::text_full) {
            step = write_commands(state, step.next, to, then, text.get() + unwritten,
                                  text.get() + text_limit);
            unwritten = static_cast<std::size_t>(step.text_end - text.get());
            write_whole_pieces();
        }
        if (step.reason == stop_reason::terminator || then != input_end::more) {
            fp.write(text.get(), static_cast<std::streamsize>(unwritten));
            if (step.reason == stop_reason::terminator)
                in.rdbuf()->pubseekoff(-(to - step.next), std::ios::cur, std::ios::in);
            return !read_failed;
        }
        held = static_cast<std::size_t>(to - step.next);
        std::memmove(input.data(), step.next, held);
    }
} catch (const std::bad_alloc &) {
    return false;
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
                   const std::function<bool(const std::string &)> &is_open_stream) {
    // Every text is flushed before the next read, which may wait for a person to type.
    out << banner << name_prompt << std::flush;

    const std::string filename = read_name(in);
    // Input ended before a name, or failed within it, where the part read is not the name typed:
    // there is nothing to create.
    if (filename.empty() || in.bad()) return 1;

    // A name no file can have, or a file a standard stream is open on: the script being read,
    // which writing would destroy, or where the console text goes, which would mix with the
    // program.
    const bool can_write = filename.size() <= path_limit &&
                           filename.find('\0') == std::string::npos && !is_open_stream(filename);
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

    const bool read = convert_commands(in, out, fp);
    write_closing(text);
    pass_on(text, fp);

    // Closing flushes the buffered text, so only now is it known whether the file is whole.
    fp.close();
    const bool written = !fp.fail();
    out << (!written ? write_failure : !read ? read_failure : success) << std::flush;
    wait_for_key();
    return written && read ? 0 : 1;
}

#ifndef NORVANE_NO_MAIN // the test binary links the dialogue with a main of its own
int main() {
    prepare_standard_streams();
    // An unsynchronised std::cout is buffered, which long redirected scripts need.
    std::ios::sync_with_stdio(false);
    input_buffer standard_input;
    std::istream in(&standard_input);
    return run_conversion(in, std::cout, console_wait_for_key,
                          [](const std::string &name) { return is_standard_stream(name.c_str()); });
}
#endif
