// A walk over a line of a batch script as cmd reads it once its % forms are expanded: the one
// place where quotes, ^ escapes, ^ line joins and % forms are told apart.
//
// A logical line is the script's lines that ^ joins, each join kept as ^ and a line feed, which
// no line holds otherwise. cmd expands % forms first, each line on its own, so a form is text
// whatever it holds: the " of %P:"=% is no quote, the ) of %X:)=% closes nothing. Then, outside
// quotes, ^ makes the next byte plain, and ^ at a line's end joins the next line, whose first
// byte it makes plain.
#pragma once

#include "batch/text.h"

#include <array>
#include <cstddef>
#include <string_view>

// For each byte: 1 where cursor::skip_text() stops outside quotes, 2 where it stops inside them;
// 4 and 8 the same where % forms are expanded already, and a % is text.
constexpr std::array<unsigned char, 256> text_stops = [] {
    std::array<unsigned char, 256> stops{};
    for (const char c : std::string_view("\"^&|<>()"))
        stops[static_cast<unsigned char>(c)] = 1 | 4;
    stops[static_cast<unsigned char>('"')] = 1 | 2 | 4 | 8;
    stops[static_cast<unsigned char>('%')] = 1 | 2;
    return stops;
}();

class cursor {
  public:
    // `expanded`: the text's % forms are expanded already, so a % is a byte like any other.
    explicit cursor(std::string_view text, std::size_t at = 0, bool expanded = false)
        : text_(text), at_(at), expanded_(expanded) {
        past_join();
    }

    bool at_end() const { return at_ >= text_.size(); }
    std::size_t at() const { return at_; }
    bool quoted() const { return quoted_; }
    bool plain() const { return plain_; } // the byte here is one that ^ makes plain

    // The byte here where it means what it says to cmd: outside quotes (a quote that opens or
    // closes them counts), not made plain by ^ and no part of a % form. 0 for any other byte. A
    // letter or a digit that ^ makes plain is still itself: it means no more either way.
    char special() const {
        if (at_end()) return 0;
        const char c = text_[at_];
        if (plain_) return is_letter(c) || is_digit(c) ? c : 0;
        if (c == '"') return c;
        if (quoted_) return 0;
        return c;
    }

    // Past bytes that are text whatever stands around them: outside quotes all but
    // " % ^ & | < > ( ), inside them all but " and %.
    void skip_text() {
        const unsigned char mask = (quoted_ ? 2 : 1) << (expanded_ ? 2 : 0);
        const auto stops = [&](std::size_t i) {
            return text_stops[static_cast<unsigned char>(text_[i])] & mask;
        };
        // Four bytes a turn where four remain: long values and long lines take most of it.
        while (at_ + 4 <= text_.size() &&
               !(stops(at_) | stops(at_ + 1) | stops(at_ + 2) | stops(at_ + 3)))
            at_ += 4;
        while (at_ < text_.size() && !stops(at_))
            ++at_;
        past_join();
    }

    // Past what starts here: a % form, a quote, a ^ (the byte after it is plain), a byte.
    void next() {
        const char c = text_[at_];
        if (c == '%' && !expanded_) {
            at_ = past_percent_form();
            plain_ = false;
        } else if (plain_) {
            plain_ = false;
            ++at_;
        } else if (c == '"') {
            quoted_ = !quoted_;
            ++at_;
        } else if (c == '^' && !quoted_) {
            ++at_;
            plain_ = at_ < text_.size();
            return;
        } else {
            ++at_;
        }
        past_join();
    }

  private:
    std::size_t past_percent_form() const;

    // Past a ^ and a line feed: the next line goes on, its first byte plain.
    void past_join() {
        if (!quoted_ && !plain_ && at_ + 1 < text_.size() && text_[at_] == '^' &&
            text_[at_ + 1] == '\n') {
            at_ += 2;
            plain_ = at_ < text_.size();
        }
    }

    std::string_view text_;
    std::size_t at_;
    bool expanded_;
    bool quoted_ = false;
    bool plain_ = false;
};
