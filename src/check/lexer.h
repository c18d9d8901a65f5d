// How cmd splits one line of a batch script into commands: at `&`, `&&`, `||` and `|`, in and
// out of `(` blocks, after an `if`'s condition, a `for`'s `do` and an `else`, with quotes and
// `^` escapes. Blocks may span lines, so the lexer carries their depth from line to line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

constexpr std::size_t nowhere = std::string_view::npos;

// The blocks open at the start of a line.
struct block_state {
    std::uint64_t depth = 0;
    std::uint64_t loop_depth = 0; // the depth of the outermost open block of a `for`, 0 if none
};

// One command at a command's place: its text runs from its first word (after blanks and any
// `@`) up to the separator, the `)` or the line end that ends it.
struct command_view {
    std::size_t at;
    std::string_view text;
    bool first;                          // the line's first command
    std::size_t errorlevel_at = nowhere; // an `if [not] errorlevel N`: where `errorlevel` is
};

// What the lexer finds on a line besides its commands; offsets into the line, `nowhere` where
// there is none.
struct line_shape {
    std::size_t comment_at = nowhere;     // `rem` at a command's place, or a leading `::`
    std::size_t label_at = nowhere;       // the `:` of a label line
    std::size_t last_separator = nowhere; // the last `&`, `&&`, `||` or `|` outside quotes
    std::size_t caret_at = nowhere;       // a `^` that ends the line, continuing it onto the next
    std::size_t opened_at = nowhere;      // the `(` of the outermost block left open at the end
    std::size_t closed_at = nowhere;      // the `)` that last closed every open block
    bool has_for = false;                 // a `for` at a command's place
    bool has_command = false;
};

using command_visitor = std::function<void(const command_view &)>;

// Splits `line` (no line end) into its commands, each handed to `visit` in order, and updates
// `blocks` to what is open after it.
line_shape lex_line(std::string_view line, block_state &blocks, const command_visitor &visit);

// Whether `text` starts with `word` (any case), ended by the end of `text` or by a byte that
// ends a command's name: a blank, or one of , ; = . \ / : ( + " [ ].
bool starts_with_word(std::string_view text, std::string_view word);

// The text up to its first blank outside quotes.
std::string_view first_word(std::string_view text);

inline bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// ASCII letters in small; the script's bytes have no character set the check may assume.
inline char small_letter(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Where `word`, in small letters, stands in `text` in any case, or `nowhere`.
std::size_t find_any_case(std::string_view text, std::string_view word);
