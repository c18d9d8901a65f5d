#include "check/text_scan.h"

#include "batch/percent.h"
#include "batch/text.h"

#include <algorithm>

namespace {

// The end of !NAME! or !NAME:...! at `at`, where it is one: the name holds no blank.
std::size_t delayed_end(std::string_view text, std::size_t at, std::string_view &name) {
    const std::size_t close = text.find('!', at + 1);
    if (close == nowhere) return nowhere;
    const std::string_view inside = text.substr(at + 1, close - at - 1);
    name = inside.substr(0, inside.find(':'));
    if (name.empty() || name.find_first_of(" \t") != nowhere) return nowhere;
    return close + 1;
}

} // namespace

void scan_text(std::string_view code, bool in_loop, const text_finding &found,
               const variable_read &read) {
    const auto span = [&](std::size_t from, std::size_t to) {
        return code.substr(from, to - from);
    };
    for (std::size_t at = 0; at < code.size();) {
        const auto next = std::find_if(code.begin() + std::ptrdiff_t(at), code.end(),
                                       [](char c) { return c == '%' || c == '!'; });
        if (next == code.end()) return;
        at = std::size_t(next - code.begin());
        if (code[at] == '!') {
            std::string_view name;
            const std::size_t end = delayed_end(code, at, name);
            if (end == nowhere) {
                ++at;
                continue;
            }
            read(name);
            found(at, message_id::delayed, span(at + 1, end - 1));
            at = end;
            continue;
        }
        const percent_form form = percent_at(code, at);
        switch (form.kind) {
        case percent_kind::doubled:
            if (const std::size_t end = in_loop ? loop_variable_end(code, at) : nowhere;
                end != nowhere) {
                found(at, message_id::loop_variable, span(at + 2, end));
                at = end;
                continue;
            }
            found(at, message_id::percent, {});
            break;
        case percent_kind::argument:
            found(at, message_id::argument, span(at + 1, form.end));
            break;
        case percent_kind::lone:
            found(at, message_id::lone_percent, {});
            break;
        default:
            read(form.name);
            if (same_any_case(form.name, "errorlevel")) found(at, message_id::errorlevel, {});
            break;
        }
        at = form.end;
    }
}
