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

// The input, in reads of at most a block. It ends for good at the end of input, at a failed
// read, and at a DOS end-of-file mark (0x1A, Ctrl-Z), where Windows' text-mode reads end it, so
// that it ends there on every system.
struct command_input {
    std::function<long(char *, std::size_t)> read_some;
    std::function<void(std::size_t)> give_back_some;
    bool ended = false;
    bool failed = false;
    std::size_t read_past_mark = 0; // read from the system after the end-of-file mark

    // Reads into `bytes`, `block_size` at most; 0 once the input has ended.
    std::size_t read(char *bytes);
    // Gives back the last `count` bytes read, where the input can.
    void give_back(std::size_t count);
};

// The generated file. Its text is gathered in a buffer and written in whole pieces, so that
// every write but the last ends at a multiple of piece_size in the file, which the system
// writes fastest. Nothing counts the file's size, which no type of a 32-bit system could hold.
// The buffer is allocated before the file is created, so that running out of memory leaves no
// file behind.
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
    // Where the next text goes, and the end of what was put there.
    char *text_end() { return text_.get() + unwritten_; }
    void added_up_to(char *end);
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
