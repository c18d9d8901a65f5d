// The conversion's two streams: the input, taken in blocks, and the generated file, written in
// whole pieces.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>

// Input is read in blocks of this size, and the generated text written out in pieces of this
// size: both stay in the processor's caches.
constexpr std::size_t block_size = 1 << 16;
constexpr std::size_t piece_size = 1 << 16;

// Where the commands come from.
struct input_source {
    // One read into `bytes`: what it brings (a line when a person types), 0 at the end of input,
    // or -1 when reading failed.
    std::function<long(char *bytes, std::size_t size)> read;
    // Moves the input back by `count` bytes read but not taken, where it can (a file), so that
    // whoever reads on finds them.
    std::function<void(std::size_t count)> give_back;
};

// The input, in reads of at most a block. It ends for good at the end of input, at a failed
// read, and at a DOS end-of-file mark (0x1A, Ctrl-Z), where Windows' text-mode reads end it, so
// that it ends there on every system.
struct command_input {
    const input_source &source;
    bool ended = false;
    bool failed = false;
    std::size_t read_past_mark = 0; // read from the source after the end-of-file mark

    // Reads into `bytes`, `block_size` at most; 0 once the input has ended.
    std::size_t read(char *bytes);
    // Where the dialogue stops reading: leaves to whoever reads on, where the source can take
    // them back, the last `untaken` bytes read and every byte read from the end-of-file mark on.
    void leave_unread(std::size_t untaken);
};

// The generated file. Its text is gathered in a buffer and written in whole pieces, so that
// every write but the last ends at a multiple of piece_size in the file, which the system
// writes fastest. The buffer is allocated before the file is created, so that running out of
// memory leaves no file behind.
class generated_file {
  public:
    // `room` is the most text that may be added past a whole piece.
    explicit generated_file(std::size_t room);
    ~generated_file() {
        if (fp_) std::fclose(fp_);
    }
    generated_file(const generated_file &) = delete;
    generated_file &operator=(const generated_file &) = delete;
    bool open(const char *name);
    // Where the next text goes.
    char *text_end() { return text_.get() + unwritten_; }
    // Takes the text added up to `end`: its whole pieces are written to the file at once.
    void write_up_to(char *end);
    // The end past which the text should be written out before more is added.
    const char *piece_end() const { return text_.get() + piece_size; }
    // Writes the rest and closes the file: whether all of it is in the file.
    bool close();

  private:
    std::unique_ptr<char[]> text_;
    std::size_t unwritten_ = 0; // text at the front of text_, short of a whole piece
    std::FILE *fp_ = nullptr;
    bool written_ = true;
    void write(std::size_t size);
};
