#include "converter.h"

#include "source_layout.h"

#include <cstring>
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

// The input buffer: room for the bytes held from one block to the next, then a block, and the
// bytes the scanner may read past its input. The held bytes are moved to right before the block.
constexpr std::size_t held_room = 4096;
static_assert(held_room > longest_held_run + 4, "room for every byte held");
constexpr std::size_t input_capacity = held_room + block_size + input_slack;

// The name line, read from the front of the input buffer: the bytes read but not taken yet are
// [next, end).
struct name_line {
    char *bytes;
    command_input &input;
    std::size_t next = 0, end = 0;

    int peek() {
        if (next == end) {
            next = 0;
            end = input.read(bytes);
        }
        return next == end ? -1 : static_cast<unsigned char>(bytes[next]);
    }
    void take() { ++next; }
};

bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The file name: the first word of the input, after any white space. An editor may have put a
// UTF-8 byte-order mark before it, at the very start of the input, which is no part of the
// name. Reading stops past the longest name a file can have, as on `norvane < /dev/zero`.
std::string read_name(name_line &line, std::size_t path_limit) {
    const std::string byte_order_mark = "\xEF\xBB\xBF";
    std::string name;
    for (const char b : byte_order_mark) {
        if (line.peek() != static_cast<unsigned char>(b)) break;
        name += b;
        line.take();
    }
    if (name == byte_order_mark) name.clear();
    if (name.empty())
        while (is_space(line.peek()))
            line.take();
    for (int c; name.size() <= path_limit && (c = line.peek()) >= 0 && !is_space(c); line.take())
        name += static_cast<char>(c);
    return name;
}

// Drops the rest of the name line, line end included.
void drop_rest(name_line &line) {
    while (line.peek() >= 0) {
        const void *line_end = std::memchr(line.bytes + line.next, '\n', line.end - line.next);
        line.next =
            line_end ? std::size_t(static_cast<const char *>(line_end) - line.bytes) + 1 : line.end;
        if (line_end) return;
    }
}

// Writes one command for each line up to the terminator or the end of input, block by block,
// starting with what the name line's last read brought after it. Only the few bytes whose text
// depends on input not read yet are held from one block to the next, so memory stays the same
// for any input. A failed read ends the list as the end of input does, and returns false. The
// input after the terminator, or from a DOS end-of-file mark on, is left unread.
bool convert_commands(command_scanner scan, name_line &rest, generated_file &file) {
    command_input &input = rest.input;
    char *const block = rest.bytes; // every read goes here; the held bytes stand right before it
    std::size_t held = 0, size = rest.end - rest.next;
    std::memmove(block, block + rest.next, size);
    command_state state;
    for (;;) {
        if (size == 0) size = input.read(block);
        const input_end then = input.failed ? input_end::by_error
                               : size == 0  ? input_end::at_end
                                            : input_end::more;
        const char *const to = block + size;
        commands_written step{block - held, nullptr, stop_reason::text_full};
        while (step.reason == stop_reason::text_full) {
            step = scan(state, step.next, to, then, file.text_end(), file.piece_end());
            file.write_up_to(step.text_end);
        }
        if (step.reason == stop_reason::terminator || then != input_end::more) {
            input.leave_unread(std::size_t(to - step.next));
            return !input.failed;
        }
        held = std::size_t(to - step.next);
        std::memmove(block - held, step.next, held);
        size = 0;
    }
}

} // namespace

int run_conversion(const dialogue_io &io) {
    // Both buffers are allocated first: running out of memory creates no file. What one call of
    // the scan writes past a piece fits after it, and so do the opening and the closing.
    std::vector<char> buffer(input_capacity);
    generated_file file(text_room);
    command_input input{io.input};
    name_line line{buffer.data() + held_room, input};

    io.show(banner);
    io.show(name_prompt);
    const std::string filename = read_name(line, io.path_limit);
    // Input ended before a name, or failed within it, where the part read is not the name typed:
    // there is nothing to create.
    if (filename.empty() || input.failed) {
        input.leave_unread(line.end - line.next);
        return 1;
    }

    // A name no file can have, or a file a standard stream is open on: the script being read,
    // which writing would destroy, or where the console text goes, which would mix with the
    // program.
    const bool can_write = filename.size() <= io.path_limit &&
                           filename.find('\0') == std::string::npos &&
                           !io.is_standard_stream(filename.c_str());
    if (!can_write || !file.open(filename.c_str())) {
        input.leave_unread(line.end - line.next);
        io.show(open_failure);
        io.wait_for_key();
        return 1;
    }
    file.write_up_to(write_opening(file.text_end()));
    io.show(instructions);
    drop_rest(line);

    const bool read = convert_commands(io.scan, line, file);
    file.write_up_to(write_closing(file.text_end()));
    const bool written = file.close();
    io.show(!written ? write_failure : !read ? read_failure : success);
    io.wait_for_key();
    return written && read ? 0 : 1;
}
