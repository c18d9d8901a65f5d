// Standard input as a stream buffer over the system's own reads.
#pragma once

#include <streambuf>
#include <vector>

// Unlike the C++ library's buffer for std::cin, a read that fails throws std::ios_base::failure
// from every call (the streams turn it into their bad state), interrupted and not-yet-ready
// reads are waited out, and seeking back reaches the file, where the input is one. With nothing
// buffered, sgetn is one read of the system straight into the caller's memory, and returns what
// that read brings, as a read from a pipe or a terminal does. A DOS end-of-file mark (0x1A,
// Ctrl-Z) ends the input, as Windows' text-mode reads end it, on every system.
class input_buffer : public std::streambuf {
  public:
    input_buffer() : buffer_(1 << 16) {}

  protected:
    int_type underflow() override;
    std::streamsize xsgetn(char *bytes, std::streamsize count) override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override;

  private:
    std::streamsize read_or_throw(char *bytes, std::size_t count);

    std::vector<char> buffer_;
    bool at_end_mark_ = false;
    std::streamsize read_past_mark_ = 0; // read from the system, but after the mark
};
