#include "input_buffer.h"

#include "platform.h"

#include <algorithm>
#include <ios>

namespace {

// One read of standard input; a failure is thrown, so that it never looks like the end of input.
std::streamsize read_or_throw(char *bytes, std::size_t count) {
    const long size = read_input(bytes, count);
    if (size < 0) throw std::ios_base::failure("reading standard input failed");
    return size;
}

} // namespace

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
    // The system's offset is past what is still buffered here.
    const long long position = seek_input(offset - (egptr() - gptr()));
    if (position < 0) return off_type(-1);
    setg(buffer_.data(), buffer_.data(), buffer_.data());
    return position;
}
