// How cmd splits a logical line of a batch script into commands, in one pass: at &, &&, || and
// |, in and out of ( blocks, after an if's condition, a for's do and an else, past leading
// redirections and call. Blocks, and the set of a for, may span lines; the lexer carries what
// is open from one logical line to the next. Quotes, ^ and % forms are the cursor's.
#pragma once

#include "batch/text.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

enum class command_kind : unsigned char {
    simple,   // a command and its words
    if_head,  // if [/i] [not] CONDITION: its command follows
    for_head, // for ... %%x in (SET) do: its command follows
    comment,  // rem and what follows it on the line
};

// What stands before or after a command.
enum class separator : unsigned char {
    line_start,
    line_end,
    amp,       // &
    and_then,  // &&
    or_else,   // ||
    pipe,      // |
    open,      // (
    close,     // )
    condition, // an if's condition
    loop_do,   // a for's do
    else_word, // else
};

struct redirection {
    std::size_t at;           // its first byte, the handle's digit where there is one
    std::size_t target_at;    // the file, or the handle after >&
    std::size_t end;          // past the file
    char handle;              // '0' to '9'
    bool appends, duplicates; // >>, >&N
};

struct command {
    command_kind kind;
    std::size_t at, end;           // its first byte (past blanks and @) and the byte after it
    std::size_t name_at, name_end; // its name, past leading redirections and call
    std::size_t call_at = nowhere; // a call in front of the name
    separator before = separator::line_start, after = separator::line_end;
    bool followed = false;    // a command that is no comment runs after it on its line
    bool runs_first = false;  // no other command runs before it on its line
    bool conditional = false; // after an if's condition, in an if's block or else, after && or ||
    bool in_loop = false;     // in a for's command, on its line or in its block
    std::uint64_t depth = 0;  // the blocks open around it
    std::size_t errorlevel_at = nowhere; // if_head: the errorlevel of if [not] errorlevel N
    std::size_t condition_at = nowhere;  // if_head: its condition, up to `end`
    std::size_t variable_at = nowhere;   // for_head: %%x, up to `set_at`'s blanks
    std::size_t set_at = nowhere, set_end = nowhere; // for_head: its ( and past its )
    std::vector<redirection> redirections;
};

// What a logical line holds besides its commands; offsets into it, `nowhere` where there is
// none.
struct line_shape {
    std::size_t comment_at = nowhere; // rem at a command's place, or a leading ::
    std::size_t label_at = nowhere;   // the : of a label line
    std::uint64_t depth_before = 0, depth_after = 0;
    std::size_t closed_at = nowhere; // the ) that first closed every block open before the line
    std::size_t opened_at = nowhere; // the ( of the outermost block left open at its end
    bool opened_by_else = false;     // that ( is an else's, after the if's block closed here
    bool in_loop = false;            // a for's command starts on it, or it lies in the block of one
    bool has_command = false;        // a command that is no comment
};

using command_visitor = std::function<void(const command &)>;

// A stack kept as runs of equal entries, so that a line of a million ( takes a few bytes.
template <typename T> class run_stack {
  public:
    bool empty() const { return size_ == 0; }
    std::uint64_t size() const { return size_; }
    const T &back() const { return runs_.back().value; }
    // The top entry, to change it alone.
    T &top() {
        if (runs_.back().count > 1) {
            --runs_.back().count;
            runs_.push_back({runs_.back().value, 1});
        }
        return runs_.back().value;
    }
    void push(const T &value) {
        if (!runs_.empty() && runs_.back().value == value)
            ++runs_.back().count;
        else
            runs_.push_back({value, 1});
        ++size_;
    }
    void pop() {
        if (--runs_.back().count == 0) runs_.pop_back();
        --size_;
    }
    void clear() {
        runs_.clear();
        size_ = 0;
    }

  private:
    struct run {
        T value;
        std::uint64_t count;
    };
    std::vector<run> runs_;
    std::uint64_t size_ = 0;
};

class batch_lexer {
  public:
    // `expanded`: the lines' % forms are expanded already (see cursor).
    explicit batch_lexer(bool expanded = false) : expanded_(expanded) {}
    // Splits `text`, one logical line, into its commands and hands each to `visit`, in the order
    // in which it learns whether another follows.
    line_shape lex(std::string_view text, const command_visitor &visit);
    std::uint64_t depth() const { return frames_.size(); }
    // Whether the line that ended last left the set of a for open.
    bool in_for_set() const;

  private:
    friend struct lexer_run;
    // What a block level of the line under way has learnt: what follows an if's condition or
    // a for's do runs conditionally or in the loop up to the block's end, what follows && or
    // || up to the next &. `waiting_from`: how many commands waited for a follower when it
    // opened, as long as none has come since (`handed_over`: how many times one came before).
    struct level {
        bool condition_rest = false, loop_rest = false, chain_conditional = false;
        std::size_t waiting_from = 0;
        std::uint64_t handed_over = 0;
        bool operator==(const level &) const = default;
    };
    // A command of an if's block set aside at its else until the block level it stands in
    // ends: what runs after the else does not run after it.
    struct set_aside {
        command held;
        std::uint64_t level;
    };
    bool expanded_;
    run_stack<unsigned char> frames_; // each open block: its kind, and what runs in it
    // The line under way's, kept from one line to the next for their room.
    run_stack<level> levels_;
    std::vector<command> waiting_;
    std::uint64_t handed_over_ = 0;
    std::vector<set_aside> set_aside_;
};

// Where a line of the script ends in a ^ that joins the next one to it, or `nowhere`. `first`:
// whether the line starts a logical line (a label line joins nothing); `expanded`: whether its %
// forms are expanded already.
std::size_t join_at(std::string_view line, bool first, bool expanded = false);
