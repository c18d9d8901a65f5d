#include "streams.h"

#include <cstring>

std::size_t command_input::read(char *bytes) {
    if (ended) return 0;
    const long size = source.read(bytes, block_size);
    if (size <= 0) {
        ended = true;
        failed = size < 0;
        return 0;
    }
    const auto *mark = static_cast<const char *>(std::memchr(bytes, '\x1A', std::size_t(size)));
    if (!mark) return std::size_t(size);
    ended = true;
    read_past_mark = std::size_t(bytes + size - mark);
    return std::size_t(mark - bytes);
}

void command_input::leave_unread(std::size_t untaken) {
    if (untaken + read_past_mark > 0) source.give_back(untaken + read_past_mark);
}

// Zeroed, as the input buffer is, so that its pages are taken at the start: memory is then the
// same for a script of three lines as for one of millions.
generated_file::generated_file(std::size_t room) : text_(new char[piece_size + room]()) {}

bool generated_file::open(const char *name) {
    fp_ = std::fopen(name, "w"); // text mode: on Windows every line feed is stored as CR LF
    // Whole pieces go to the system as they are, without a copy through a buffer of the stream.
    if (fp_) std::setvbuf(fp_, nullptr, _IONBF, 0);
    return fp_ != nullptr;
}

void generated_file::write_up_to(char *end) {
    unwritten_ = std::size_t(end - text_.get());
    if (unwritten_ < piece_size) return;
    const std::size_t whole = unwritten_ / piece_size * piece_size;
    write(whole);
    unwritten_ -= whole;
    std::memmove(text_.get(), text_.get() + whole, unwritten_);
}

// After a failed write nothing more is written: the file is not whole, whatever follows.
void generated_file::write(std::size_t size) {
    written_ = written_ && std::fwrite(text_.get(), 1, size, fp_) == size;
}

bool generated_file::close() {
    write(unwritten_);
    // Closing is where the system may still fail to store what it was given.
    written_ = std::fclose(fp_) == 0 && written_;
    fp_ = nullptr;
    return written_;
}
