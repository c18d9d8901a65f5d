#include "input_buffer.h"

#include "platform.h"

#include <algorithm>
#include <cstring>
#include <ios>

// One read of standard input, up to the end-of-file mark; a failure is thrown, so that it never
// looks like the end of input.
std::streamsize input_buffer::read_or_throw(char *bytes, std::size_t count) {
    if (at_end_mark_) return 0;
    const long size = read_input(bytes, count);
    if (size < 0) throw std::ios_base::failure("reading standard input failed");
    const auto *mark = static_cast<const char *>(std::memchr(bytes, '\x1A', std::size_t(size)));
    if (!mark) return size;
    at_end_mark_ = true;
    read_past_mark_ = bytes + size - mark;
    return mark - bytes;
}

input_buffer::int_type input_buffer::underflow() {
    if (gptr() == egptr()) {
        const std::streamsize size = read_or_throw(buffer_.data(), buffer_.size());
        setg(buffer_.data(), buffer_.data(), buffer_.data() + size);
        if (size == 0) return traits_type::eof();
    }
    return traits_type::to_int_type(*gptr());
}

std::streamsize input_buffer::xsgetn(char *bytes, std::streamsize count) {
    if (gptr() == egptr()) return read_or_throw(bytes, static_cast<std::size_t>(count));
    const std::streamsize size = std::min<std::streamsize>(count, egptr() - gptr());
    std::copy_n(gptr(), size, bytes);
    gbump(static_cast<int>(size));
    return size;
}

input_buffer::pos_type input_buffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                             std::ios_base::openmode which) {
    if (direction != std::ios_base::cur || !(which & std::ios_base::in)) return off_type(-1);
    // The system's offset is past what is still buffered here, and past what followed the mark.
    const long long position = seek_input(offset - (egptr() - gptr()) - read_past_mark_);
    if (position < 0) return off_type(-1);
    setg(buffer_.data(), buffer_.data(), buffer_.data());
    at_end_mark_ = false; // a read from here finds the mark again
    read_past_mark_ = 0;
    return position;
}
