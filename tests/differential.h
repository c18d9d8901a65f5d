// Whole dialogues whose input arrives in pieces, checked against the plain reference.
#pragma once

#include "commands.h"
#include "converter.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

// Input served a piece at a time, as reads from a pipe bring it, piece sizes taken in turn
// from `sizes`; it can seek back, as a file can.
class piecewise_input : public std::streambuf {
  public:
    piecewise_input(std::string data, std::vector<std::size_t> sizes)
        : data_(std::move(data)), sizes_(std::move(sizes)) {
        setg(data_.data(), data_.data(), data_.data());
    }
    std::size_t position() const { return static_cast<std::size_t>(gptr() - data_.data()); }

  private:
    int_type underflow() override {
        if (gptr() == data_.data() + data_.size()) return traits_type::eof();
        if (gptr() == egptr()) {
            const std::size_t size = std::max<std::size_t>(1, sizes_[next_++ % sizes_.size()]);
            setg(data_.data(), gptr(), gptr() + std::min(size, data_.size() - position()));
        }
        return traits_type::to_int_type(*gptr());
    }
    std::streamsize xsgetn(char *bytes, std::streamsize count) override {
        if (gptr() == egptr() && underflow() == traits_type::eof()) return 0;
        const auto size = std::min<std::streamsize>(count, egptr() - gptr());
        std::copy_n(gptr(), size, bytes);
        gbump(static_cast<int>(size));
        return size;
    }
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode) override {
        if (direction != std::ios_base::cur) return off_type(-1);
        setg(data_.data(), gptr() + offset, gptr() + offset);
        return static_cast<off_type>(position());
    }

    std::string data_;
    std::vector<std::size_t> sizes_;
    std::size_t next_ = 0;
};

// Runs a whole conversion of `commands` into the file `path`, and describes how the file or the
// point where reading stopped differs from the reference; empty when they agree.
inline std::string differences_from_reference(const std::string &commands,
                                              const std::vector<std::size_t> &sizes,
                                              const std::string &path) {
    const std::string name_line = path + "\n";
    piecewise_input input(name_line + commands, sizes);
    std::istream in(&input);
    std::ostringstream console;
    run_conversion(
        in, console, [] {}, [](const std::string &) { return false; });

    std::size_t unread = 0;
    const std::string expected = "/*\nNorvane\nBy qortez7\n*/\n#include <stdio.h>\n"
                                 "#include <conio.h>\n#include <stdlib.h>\nint main()\n{\n" +
                                 reference_commands(commands, unread) +
                                 "\tprintf(\"\\n\");\n\tgetch();\n}";
    std::ifstream file(path, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(file), {}};
    std::string differences;
    if (written != expected) {
        const auto where =
            std::mismatch(written.begin(), written.end(), expected.begin(), expected.end());
        differences += "file differs at byte " + std::to_string(where.first - written.begin());
    }
    if (input.position() != name_line.size() + unread)
        differences += " stopped reading at " + std::to_string(input.position()) + ", not " +
                       std::to_string(name_line.size() + unread);
    return differences;
}
