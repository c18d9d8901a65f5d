#include "batch/lexer.h"

#include "batch/cursor.h"

#include <algorithm>
#include <utility>

namespace {

// A frame: the kind of block in the low bits, what runs in it above them.
enum frame_bits : unsigned char {
    plain_block = 0, // an if's too: what follows its condition runs conditionally already
    else_block = 1,  // the ( right after an else
    loop_block = 2,  // the ( right after a for's do
    for_set = 3,     // the set of a for, and ( within it
    kind_mask = 7,
    runs_conditionally = 8,
    runs_in_loop = 16,
};

} // namespace

// One logical line's pass. Offsets are into `text`.
struct lexer_run {
    std::string_view text;
    batch_lexer &lexer;
    const command_visitor &visit;
    run_stack<unsigned char> &frames = lexer.frames_;
    run_stack<batch_lexer::level> &levels = lexer.levels_;
    std::vector<command> &waiting = lexer.waiting_;
    std::vector<batch_lexer::set_aside> &set_aside = lexer.set_aside_;
    line_shape shape{};
    cursor c{text, 0, lexer.expanded_};
    separator before = separator::line_start;
    bool any_ran = false;           // a command (not an if's or a for's head) started
    std::size_t closed_waiting = 0; // `waiting_from` of the block that closed last

    std::string_view rest() const { return text.substr(c.at()); }
    bool word_here(std::string_view word) const {
        return c.special() != 0 && starts_with_word(rest(), word);
    }
    void advance(std::size_t bytes) {
        while (bytes-- > 0 && !c.at_end())
            c.next();
    }
    void skip_blanks() {
        while (is_blank(c.special()))
            c.next();
    }
    unsigned char frame_flags() const { return frames.empty() ? 0 : frames.back() & ~kind_mask; }
    bool conditional_here() const {
        const auto &l = levels.back();
        return (frame_flags() & runs_conditionally) || l.condition_rest || l.chain_conditional;
    }
    bool loop_here() const { return (frame_flags() & runs_in_loop) || levels.back().loop_rest; }

    void run() {
        shape.depth_before = frames.size();
        levels.clear();
        levels.push({});
        waiting.clear();
        set_aside.clear();
        shape.in_loop = frame_flags() & runs_in_loop;
        if (!frames.empty() && (frames.back() & kind_mask) == for_set) {
            if (set_closes()) after_set(0, nowhere, nowhere);
        } else if (!label_line()) {
            commands();
        }
        for (auto &aside : set_aside)
            waiting.push_back(std::move(aside.held));
        hand_over(false);
        shape.depth_after = frames.size();
    }

    // A line whose first byte past blanks is a colon runs nothing: a label, or :: a comment.
    bool label_line() {
        skip_blanks();
        if (c.special() != ':') return false;
        const std::size_t at = c.at();
        if (at + 1 < text.size() && text[at + 1] == ':')
            shape.comment_at = at;
        else if (at + 1 < text.size() && !is_blank(text[at + 1]))
            shape.label_at = at;
        return true;
    }

    void commands() {
        for (;;) {
            while (is_delimiter(c.special()) || c.special() == '@')
                c.next();
            const char here = c.special();
            if (c.at_end()) return;
            if (here == '(') {
                open_block();
            } else if (here == ')' && !frames.empty()) {
                close_block();
                after_block();
            } else if (here == '&' || here == '|') {
                take_separator(); // no command before it
            } else if (word_here("rem") || here == ':') {
                comment(); // a label after a separator runs nothing either
                return;
            } else if (word_here("if")) {
                if_head();
            } else if (!(word_here("for") && for_head())) {
                simple();
            }
        }
    }

    void push_frame(unsigned char kind) {
        if (frames.empty()) {
            shape.opened_at = c.at();
            shape.opened_by_else = kind == else_block && shape.closed_at != nowhere;
        }
        unsigned char flags = frame_flags();
        if (conditional_here()) flags |= runs_conditionally;
        if (loop_here() || kind == loop_block) flags |= runs_in_loop;
        frames.push(static_cast<unsigned char>(kind | flags));
        c.next();
    }

    void pop_frame() {
        frames.pop();
        if (frames.empty()) {
            if (shape.depth_before > 0 && shape.closed_at == nowhere) shape.closed_at = c.at();
            shape.opened_at = nowhere;
            shape.opened_by_else = false;
        }
        c.next();
    }

    void open_block() {
        push_frame(before == separator::else_word ? else_block
                   : before == separator::loop_do ? loop_block
                                                  : plain_block);
        levels.push({false, false, false, waiting.size(), lexer.handed_over_});
        before = separator::open;
    }

    void close_block() {
        if (!waiting.empty() && waiting.back().after == separator::line_end)
            waiting.back().after = separator::close;
        pop_frame();
        // What waits now came after the block opened, unless nothing came since.
        const auto &closing = levels.back();
        closed_waiting = closing.handed_over == lexer.handed_over_ ? closing.waiting_from : 0;
        // What was set aside in the block waits, now that it ends, for what follows it. What is
        // set aside is in the order of its levels, the deepest last: a level that ends takes
        // back what was set aside in it before anything shallower can be.
        while (!set_aside.empty() && set_aside.back().level >= levels.size()) {
            waiting.push_back(std::move(set_aside.back().held));
            set_aside.pop_back();
        }
        levels.pop();
        if (levels.empty()) levels.push({}); // a block that an earlier line opened
        before = separator::close;
    }

    // After a ) that closed a block: an else, whose command follows, or redirections and then a
    // separator; anything else there is no command.
    void after_block() {
        skip_blanks();
        if (word_here("else")) {
            // The if's block and the else are alternatives: what the block ran is set aside.
            for (std::size_t i = closed_waiting; i < waiting.size(); ++i)
                set_aside.push_back({std::move(waiting[i]), levels.size()});
            waiting.resize(std::min(closed_waiting, waiting.size()));
            advance(4);
            levels.top().condition_rest = true;
            before = separator::else_word;
            return;
        }
        std::vector<redirection> ignored;
        rest_of_command(ignored);
        take_separator();
    }

    // At & or | (or the line's end, or a ) that closes a block, where it does nothing).
    void take_separator() {
        const char first = c.special();
        if (first != '&' && first != '|') return;
        c.next();
        const bool doubled = c.special() == first;
        if (doubled) c.next();
        before = first == '&' ? (doubled ? separator::and_then : separator::amp)
                              : (doubled ? separator::or_else : separator::pipe);
        if (!waiting.empty() && waiting.back().after == separator::line_end)
            waiting.back().after = before;
        if (before == separator::amp)
            levels.top().chain_conditional = false;
        else if (before != separator::pipe)
            levels.top().chain_conditional = true;
    }

    // The commands waiting for a follower learn whether one came.
    void hand_over(bool followed) {
        ++lexer.handed_over_;
        for (command &waiter : waiting) {
            waiter.followed = followed;
            visit(waiter);
        }
        waiting.clear();
    }

    command start(command_kind kind) {
        if (kind != command_kind::comment) {
            hand_over(true);
            shape.has_command = true;
        }
        command k{};
        k.kind = kind;
        k.at = k.name_at = c.at();
        k.before = before;
        k.runs_first = !any_ran;
        k.conditional = conditional_here();
        k.in_loop = loop_here();
        k.depth = frames.size();
        return k;
    }

    void comment() {
        command k = start(command_kind::comment);
        shape.comment_at = k.at;
        k.name_end = k.at + (text[k.at] == ':' ? 1 : 3);
        k.end = text.size();
        visit(k);
        c = cursor(text, text.size());
    }

    // A word of an if's condition or a for's head: up to a blank outside quotes, a separator,
    // a ) that closes a block or, with `stop_at_equals`, ==.
    void token(bool stop_at_equals) {
        for (char here; !c.at_end(); c.next()) {
            here = c.special();
            if (is_blank(here) || here == '&' || here == '|' || (here == ')' && !frames.empty()))
                return;
            if (stop_at_equals && here == '=' && c.at() + 1 < text.size() &&
                text[c.at() + 1] == '=')
                return;
        }
    }

    void if_head() {
        command k = start(command_kind::if_head);
        advance(2);
        skip_blanks();
        if (word_here("/i")) advance(2);
        skip_blanks();
        if (word_here("not")) advance(3);
        skip_blanks();
        k.condition_at = c.at();
        if (word_here("errorlevel")) k.errorlevel_at = c.at();
        bool unary = false;
        for (const char *word : {"errorlevel", "exist", "defined", "cmdextversion"}) {
            if (!unary && word_here(word)) {
                advance(std::string_view(word).size());
                unary = true;
            }
        }
        if (unary) {
            skip_blanks();
            token(false);
        } else {
            token(true);
            skip_blanks();
            if (c.special() == '=' && rest().substr(0, 2) == "==") {
                advance(2);
            } else {
                for (const char *op : {"equ", "neq", "lss", "leq", "gtr", "geq"})
                    if (word_here(op)) advance(3);
            }
            skip_blanks();
            token(false);
        }
        k.end = k.name_end = c.at();
        k.after = separator::condition;
        waiting.push_back(std::move(k));
        levels.top().condition_rest = true;
        before = separator::condition;
    }

    // for [options] %%x in (set) do: true where that is what stands here, with the command's
    // place after the do, or with the set going on over the next line. Otherwise nothing is
    // taken: the head is looked at up to a separator at most, so a line of many stays linear.
    bool for_head() {
        const cursor at_for = c;
        const separator was = before;
        const std::size_t at = c.at();
        advance(3);
        std::size_t variable_at = nowhere;
        for (;;) {
            skip_blanks();
            const char here = c.special();
            if (c.at_end() || here == '&' || here == '|' || here == '<' || here == '>' ||
                (here == ')' && !frames.empty())) {
                c = at_for;
                return false;
            }
            if (word_here("in")) break;
            variable_at = c.at();
            token(false);
        }
        advance(2);
        skip_blanks();
        if (c.special() != '(') {
            c = at_for;
            return false;
        }
        const std::size_t set_at = c.at();
        const std::size_t depth = frames.size();
        push_frame(for_set);
        if (!set_closes()) { // it goes on over the next line, with the for's variable here
            shape.in_loop = true;
            return true;
        }
        if (!after_set(at, variable_at, set_at)) {
            while (frames.size() > depth)
                frames.pop();
            c = at_for;
            before = was;
            return false;
        }
        return true;
    }

    // Inside a for's set: whether its ) comes on this line.
    bool set_closes() {
        for (; !c.at_end();) {
            const char here = c.special();
            if (here == '(') {
                push_frame(for_set);
            } else if (here == ')') {
                pop_frame();
                if (frames.empty() || (frames.back() & kind_mask) != for_set) return true;
            } else {
                c.next();
            }
        }
        return false;
    }

    // Past a for's set: its do, and the command's place after it.
    bool after_set(std::size_t at, std::size_t variable_at, std::size_t set_at) {
        const std::size_t set_end = c.at();
        skip_blanks();
        if (!word_here("do")) return false;
        command k = start(command_kind::for_head);
        k.at = k.name_at = at;
        k.variable_at = variable_at;
        k.set_at = set_at;
        k.set_end = set_end;
        advance(2);
        k.end = k.name_end = c.at();
        k.after = separator::loop_do;
        waiting.push_back(std::move(k));
        levels.top().loop_rest = true;
        shape.in_loop = true;
        before = separator::loop_do;
        return true;
    }

    bool at_redirection() const {
        const char here = c.special();
        if (here == '<' || here == '>') return true;
        return is_digit(here) && c.at() + 1 < text.size() &&
               (text[c.at() + 1] == '<' || text[c.at() + 1] == '>');
    }

    // At a redirection, or the digit of its handle: its handle, its operator and its file. A
    // digit that starts a word right before < or > is its handle.
    redirection redirect() {
        redirection r{c.at(), nowhere, nowhere, '1', false, false};
        const std::size_t at = c.at();
        if (is_digit(c.special())) {
            r.handle = c.special();
            c.next();
        } else if (at >= 1 && is_digit(text[at - 1]) && (at == 1 || is_delimiter(text[at - 2]))) {
            r.at = at - 1;
            r.handle = text[at - 1];
        } else if (c.special() == '<') {
            r.handle = '0';
        }
        const char op = c.special();
        c.next();
        if (op == '>' && c.special() == '>') {
            r.appends = true;
            c.next();
        }
        if (c.special() == '&' && c.at() + 1 < text.size() && is_digit(text[c.at() + 1])) {
            r.duplicates = true;
            r.target_at = c.at() + 1;
            advance(2);
        } else {
            skip_blanks();
            r.target_at = c.at();
            skip_word(false);
        }
        r.end = c.at();
        return r;
    }

    // Past a word: up to a blank (with `delimiters`, any of , ; = too), a separator, a
    // redirection or a ) that closes a block.
    void skip_word(bool delimiters) {
        for (char here; !c.at_end(); c.next()) {
            here = c.special();
            if ((delimiters ? is_delimiter(here) : is_blank(here)) || here == '&' || here == '|' ||
                here == '<' || here == '>' || (here == ')' && !frames.empty()))
                return;
        }
    }

    // Up to a separator, a ) that closes a block, or the line's end; the redirections on the way.
    void rest_of_command(std::vector<redirection> &redirections) {
        for (c.skip_text(); !c.at_end(); c.skip_text()) {
            const char here = c.special();
            if (here == '&' || here == '|' || (here == ')' && !frames.empty())) return;
            if (here == '<' || here == '>') {
                redirections.push_back(redirect());
            } else {
                c.next();
            }
        }
    }

    void simple() {
        command k = start(command_kind::simple);
        any_ran = true;
        for (;;) {
            while (at_redirection()) {
                k.redirections.push_back(redirect());
                skip_blanks();
            }
            if (!word_here("call")) break;
            if (k.call_at == nowhere) k.call_at = c.at();
            advance(4);
            skip_blanks();
        }
        k.name_at = c.at();
        skip_word(true);
        k.name_end = c.at();
        rest_of_command(k.redirections);
        k.end = c.at();
        waiting.push_back(std::move(k));
        take_separator();
    }
};

bool batch_lexer::in_for_set() const {
    return !frames_.empty() && (frames_.back() & kind_mask) == for_set;
}

line_shape batch_lexer::lex(std::string_view text, const command_visitor &visit) {
    lexer_run run{text, *this, visit};
    run.run();
    return run.shape;
}

std::size_t join_at(std::string_view line, bool first, bool expanded) {
    if (first) {
        const std::string_view rest = after_blanks(line);
        if (!rest.empty() && rest.front() == ':') return nowhere;
    }
    if (line.empty() || line.back() != '^') return nowhere;
    for (cursor c(line, 0, expanded); !c.at_end(); c.next())
        if (line[c.at()] == '^' && !c.quoted() && !c.plain() && c.at() + 1 == line.size())
            return c.at();
    return nowhere;
}
