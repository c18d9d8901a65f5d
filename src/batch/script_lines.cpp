#include "batch/script_lines.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// A line begun in an earlier block. It grows with realloc, which moves a large one by
// remapping its pages rather than copying them, and never touches the room it has not used:
// the memory it takes is that of the longest line, not twice that.
class started_line {
  public:
    void append(std::string_view bytes) {
        if (bytes.empty()) return;
        if (bytes.size() > SIZE_MAX - size_) throw std::bad_alloc();
        if (size_ + bytes.size() > room_) {
            const std::size_t doubled = room_ > SIZE_MAX / 2 ? SIZE_MAX : 2 * room_;
            const std::size_t room = std::max(size_ + bytes.size(), doubled);
            char *grown = static_cast<char *>(std::realloc(bytes_.get(), room));
            if (!grown) throw std::bad_alloc();
            bytes_.release();
            bytes_.reset(grown);
            room_ = room;
        }
        std::memcpy(bytes_.get() + size_, bytes.data(), bytes.size());
        size_ += bytes.size();
    }
    std::string_view view() const { return {bytes_.get(), size_}; }
    bool empty() const { return size_ == 0; }
    void clear() { size_ = 0; }

  private:
    struct release {
        void operator()(char *p) const { std::free(p); }
    };
    std::unique_ptr<char, release> bytes_;
    std::size_t size_ = 0, room_ = 0;
};

} // namespace

bool read_lines(std::FILE *in,
                const std::function<void(std::string_view line, std::string_view end)> &line) {
    // The line without its carriage return, and its end.
    const auto hand_over = [&](std::string_view text, bool line_feed) {
        const bool carriage_return = !text.empty() && text.back() == '\r';
        if (carriage_return) text.remove_suffix(1);
        line(text, line_feed ? (carriage_return ? "\r\n" : "\n") : "");
    };
    std::vector<char> block(1 << 16);
    started_line started;
    for (;;) {
        const std::size_t size = std::fread(block.data(), 1, block.size(), in);
        if (size == 0) break;
        std::string_view rest(block.data(), size);
        for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos;) {
            if (started.empty()) {
                hand_over(rest.substr(0, end), true);
            } else {
                started.append(rest.substr(0, end));
                hand_over(started.view(), true);
                started.clear();
            }
            rest.remove_prefix(end + 1);
        }
        started.append(rest);
    }
    if (std::ferror(in)) return false;
    if (!started.empty()) hand_over(started.view(), false);
    return true;
}

bool read_lines(std::FILE *in, const std::function<void(std::string_view)> &line) {
    return read_lines(in, [&](std::string_view text, std::string_view) { line(text); });
}
