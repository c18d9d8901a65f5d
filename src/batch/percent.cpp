#include "batch/percent.h"

#include "batch/text.h"

namespace {

bool is_modifier(char c) {
    switch (small_letter(c)) {
    case 'f':
    case 'd':
    case 'p':
    case 'n':
    case 'x':
    case 's':
    case 'a':
    case 't':
    case 'z':
        return true;
    default:
        return false;
    }
}

// Past the modifiers of a ~ form that starts at `text[i]`, just after the ~: letters, then
// perhaps $NAME:. `nowhere` where $ has no colon before the next % or the line's end, so that
// each % is looked past once.
std::size_t past_modifiers(std::string_view text, std::size_t i) {
    while (i < text.size() && is_modifier(text[i]))
        ++i;
    if (i < text.size() && text[i] == '$') {
        const std::size_t stop = text.find_first_of(":%\n", i + 1);
        if (stop == nowhere || text[stop] != ':') return nowhere;
        i = stop + 1;
    }
    return i;
}

// What follows NAME's colon, up to the closing %: ~[-]N[,[-]N] or old=new.
percent_kind edit_kind(std::string_view edit) {
    if (!edit.empty() && edit[0] == '~') {
        std::size_t i = 1;
        for (int number = 0; number < 2; ++number) {
            if (i < edit.size() && edit[i] == '-') ++i;
            const std::size_t digits = i;
            while (i < edit.size() && is_digit(edit[i]))
                ++i;
            if (number == 0 && i == edit.size()) return percent_kind::substring;
            if (number == 1 && i > digits && i == edit.size()) return percent_kind::substring;
            if (number == 0 && (i == edit.size() || edit[i] != ',')) return percent_kind::bad_edit;
            ++i;
        }
        return percent_kind::bad_edit;
    }
    const std::size_t equals = edit.find('=');
    return equals != nowhere && equals > 0 ? percent_kind::substitution : percent_kind::bad_edit;
}

} // namespace

percent_form percent_at(std::string_view text, std::size_t at) {
    const std::size_t next = at + 1;
    if (next < text.size() && text[next] == '%')
        return {percent_kind::doubled, at, next + 1, {}, {}};
    if (next < text.size() && (is_digit(text[next]) || text[next] == '*'))
        return {percent_kind::argument, at, next + 1, text.substr(next, 1), {}};
    if (next < text.size() && text[next] == '~') {
        const std::size_t i = past_modifiers(text, next + 1);
        if (i != nowhere && i < text.size() && is_digit(text[i]))
            return {percent_kind::argument, at, i + 1, text.substr(i, 1),
                    text.substr(next + 1, i - next - 1)};
    }
    const std::size_t stop = text.find_first_of("%:\n", next);
    if (stop == nowhere || text[stop] == '\n') return {percent_kind::lone, at, next, {}, {}};
    const std::string_view name = text.substr(next, stop - next);
    if (text[stop] == '%') return {percent_kind::variable, at, stop + 1, name, {}};
    if (stop + 1 < text.size() && text[stop + 1] == '%') // %NAME:% names NAME: itself
        return {percent_kind::variable, at, stop + 2, text.substr(next, stop + 1 - next), {}};
    const std::size_t close = text.find_first_of("%\n", stop + 1);
    if (close == nowhere || text[close] == '\n') return {percent_kind::lone, at, next, {}, {}};
    const std::string_view edit = text.substr(stop + 1, close - stop - 1);
    return {edit_kind(edit), at, close + 1, name, edit};
}

std::size_t loop_variable_end(std::string_view text, std::size_t at) {
    std::size_t i = at + 2;
    if (i < text.size() && text[i] == '~') {
        const std::size_t modifiers = i + 1;
        i = modifiers;
        while (i < text.size() && is_modifier(text[i]))
            ++i;
        if (i < text.size() && text[i] == '$') {
            i = past_modifiers(text, i);
        } else if (i > modifiers && (i == text.size() || !is_letter(text[i]))) {
            return i; // %%~nxf: the last letter is the variable
        }
        if (i == nowhere) return nowhere;
    }
    return i < text.size() && is_letter(text[i]) ? i + 1 : nowhere;
}
