#include "check/lexer.h"

#include <algorithm>

namespace {

bool ends_name(char c) {
    switch (c) {
    case ' ':
    case '\t':
    case ',':
    case ';':
    case '=':
    case '.':
    case '\\':
    case '/':
    case ':':
    case '(':
    case '+':
    case '"':
    case '[':
    case ']':
        return true;
    default:
        return false;
    }
}

bool same_letters(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (small_letter(text[i]) != word[i]) return false;
    return true;
}

// One pass over a line. Offsets are into `line`; `i` is the next byte to look at.
struct lexer {
    std::string_view line;
    block_state &blocks;
    const command_visitor &visit;
    line_shape shape;
    std::size_t i = 0;
    bool loop_block_next = false; // a `(` right here opens the block of a `for`

    bool at_end() const { return i >= line.size(); }
    char here() const { return line[i]; }
    bool word_here(std::string_view word) const { return starts_with_word(line.substr(i), word); }

    void skip_blanks() {
        while (!at_end() && is_blank(here()))
            ++i;
    }

    // A word of an `if` or a `for`: up to a blank outside quotes, or (`stop_at_equals`) `==`.
    void skip_token(bool stop_at_equals = false) {
        for (bool quoted = false; !at_end(); ++i) {
            const char c = here();
            if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && is_blank(c)) {
                return;
            } else if (!quoted && stop_at_equals && c == '=' && i + 1 < line.size() &&
                       line[i + 1] == '=') {
                return;
            } else if (!quoted && c == '^' && i + 1 < line.size()) {
                ++i;
            }
        }
    }

    void emit(std::size_t at, std::size_t end, std::size_t errorlevel_at = nowhere) {
        visit({at, line.substr(at, end - at), !shape.has_command, errorlevel_at});
        shape.has_command = true;
    }

    void open_block() {
        if (blocks.depth++ == 0) shape.opened_at = i;
        if (loop_block_next && blocks.loop_depth == 0) blocks.loop_depth = blocks.depth;
        ++i;
    }

    void close_block() {
        if (--blocks.depth == 0) {
            shape.closed_at = i;
            shape.opened_at = nowhere;
        }
        if (blocks.depth < blocks.loop_depth) blocks.loop_depth = 0;
        ++i;
    }

    // At a `&` or `|` outside quotes: takes the separator, one or two bytes.
    void take_separator() {
        shape.last_separator = i;
        const char c = here();
        ++i;
        if (!at_end() && here() == c) ++i;
    }

    // The line from here on, at a command's place.
    void commands() {
        for (;;) {
            skip_blanks();
            while (!at_end() && here() == '@') {
                ++i;
                skip_blanks();
            }
            if (at_end()) return;
            if (here() == '(') {
                open_block(); // a `for`'s own where it follows the `do`
                loop_block_next = false;
                continue;
            }
            loop_block_next = false;
            if (here() == ')' && blocks.depth > 0) {
                close_block();
                after_block();
            } else if (word_here("rem")) {
                shape.comment_at = i;
                i = line.size();
            } else if (word_here("if")) {
                if_command();
            } else if (!(word_here("for") && for_command())) {
                rest_of_command(i, true);
            }
        }
    }

    // After a `)` that closed a block: an `else`, whose command follows, or a separator; what
    // else stands there (a redirection) is no command.
    void after_block() {
        skip_blanks();
        if (word_here("else")) {
            i += 4;
            return;
        }
        rest_of_command(i, false);
    }

    void if_command() {
        const std::size_t at = i;
        i += 2;
        skip_blanks();
        if (word_here("/i")) i += 2;
        skip_blanks();
        if (word_here("not")) i += 3;
        skip_blanks();
        std::size_t errorlevel_at = nowhere;
        if (word_here("errorlevel") || word_here("exist") || word_here("defined") ||
            word_here("cmdextversion")) {
            if (word_here("errorlevel")) errorlevel_at = i;
            skip_token();
            skip_blanks();
            skip_token();
        } else {
            skip_token(true);
            skip_blanks();
            if (line.substr(i, 2) == "==") {
                i += 2;
            } else {
                for (const char *op : {"equ", "neq", "lss", "leq", "gtr", "geq"})
                    if (word_here(op)) i += 3;
            }
            skip_blanks();
            skip_token();
        }
        emit(at, i, errorlevel_at);
    }

    // `for [options] %%x in (set) do`: true where that is what follows, with the command's place
    // after the `do`.
    bool for_command() {
        const std::size_t at = i;
        i += 3;
        for (;;) {
            skip_blanks();
            if (at_end()) break;
            if (word_here("in")) {
                i += 2;
                skip_blanks();
                if (at_end() || here() != '(' || !skip_set()) break;
                skip_blanks();
                if (!word_here("do")) break;
                i += 2;
                emit(at, i);
                shape.has_for = true;
                loop_block_next = true;
                return true;
            }
            skip_token();
        }
        i = at;
        return false;
    }

    // The set of a `for`, from its `(` to the matching `)`.
    bool skip_set() {
        std::uint64_t depth = 0;
        for (bool quoted = false; !at_end(); ++i) {
            const char c = here();
            if (c == '"') quoted = !quoted;
            if (quoted) continue;
            if (c == '^') {
                i += i + 1 < line.size();
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                ++i;
                return true;
            }
        }
        return false;
    }

    // Up to the end of the command that starts at `at`: a separator, which is taken, a `)`
    // that closes a block, which is left, or the line end.
    void rest_of_command(std::size_t at, bool is_command) {
        bool quoted = false;
        for (; !at_end(); ++i) {
            const char c = here();
            if (c == '"') {
                quoted = !quoted;
                continue;
            }
            if (quoted) continue;
            if (c == '^') {
                i += i + 1 < line.size();
            } else if ((c == '>' || c == '<') && i + 1 < line.size() && line[i + 1] == '&') {
                ++i; // a redirection such as 2>&1, not a separator
            } else if (c == '&' || c == '|' || (c == ')' && blocks.depth > 0)) {
                break;
            }
        }
        if (is_command) emit(at, i);
        if (!at_end() && here() != ')') take_separator();
    }
};

// Where a `^` outside quotes, itself not escaped, ends the line: cmd then reads the next line
// as part of this one.
std::size_t continuation_at(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (!quoted && line[i] == '^') {
            if (i + 1 == line.size()) return i;
            ++i;
        }
    }
    return nowhere;
}

} // namespace

bool starts_with_word(std::string_view text, std::string_view word) {
    return same_letters(text, word) && (text.size() == word.size() || ends_name(text[word.size()]));
}

std::size_t find_any_case(std::string_view text, std::string_view word) {
    const auto at = std::search(text.begin(), text.end(), word.begin(), word.end(),
                                [](char a, char b) { return small_letter(a) == b; });
    return at == text.end() ? nowhere : std::size_t(at - text.begin());
}

std::string_view first_word(std::string_view text) {
    std::size_t end = 0;
    for (bool quoted = false; end < text.size() && (quoted || !is_blank(text[end])); ++end)
        if (text[end] == '"') quoted = !quoted;
    return text.substr(0, end);
}

line_shape lex_line(std::string_view line, block_state &blocks, const command_visitor &visit) {
    lexer lex{line, blocks, visit, {}};
    lex.skip_blanks();
    if (!lex.at_end() && lex.here() == ':') {
        const std::size_t at = lex.i;
        if (at + 1 < line.size() && line[at + 1] == ':')
            lex.shape.comment_at = at;
        else if (at + 1 < line.size() && !is_blank(line[at + 1]))
            lex.shape.label_at = at;
        return lex.shape;
    }
    lex.commands();
    lex.shape.caret_at = continuation_at(line);
    return lex.shape;
}
