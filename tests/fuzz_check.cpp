// libFuzzer target: norvane-check on any bytes as a script. It must not crash; each finding must
// point at a line of the script and at most one past the line's end; the findings a line makes
// of itself come in the order of their lines and columns; and the JSON report of them parses.
#include "batch/script_lines.h"
#include "check/report.h"
#include "check/script_checker.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void fail(const char *what, const finding &f) {
    std::fprintf(stderr, "%s: finding at %llu:%llu\n", what,
                 static_cast<unsigned long long>(f.line),
                 static_cast<unsigned long long>(f.column));
    std::abort();
}

// Those a later line decides come after that line's findings, out of the order of the rest.
bool decided_later(message_id m) {
    return m == message_id::end_line || m == message_id::eof_mark || m == message_id::exit ||
           m == message_id::variable_used || m == message_id::variable_set_again ||
           m == message_id::variable_unused || m == message_id::batch_without_call ||
           m == message_id::skipped;
}

// A JSON value at `at`, past its end, or nullptr: enough of JSON for the report's array of
// objects of strings and numbers.
const char *json_value(const char *at, const char *end);

const char *json_blanks(const char *at, const char *end) {
    while (at < end && (*at == ' ' || *at == '\n' || *at == '\t' || *at == '\r'))
        ++at;
    return at;
}

const char *json_string(const char *at, const char *end) {
    if (at == end || *at++ != '"') return nullptr;
    while (at < end && *at != '"') {
        const auto b = static_cast<unsigned char>(*at);
        if (b < 0x20) return nullptr;
        if (b == '\\') {
            if (++at == end) return nullptr;
            if (*at == 'u') {
                for (int i = 0; i < 4; ++i)
                    if (++at == end || !std::isxdigit(static_cast<unsigned char>(*at)))
                        return nullptr;
            } else if (std::string_view("\"\\/bfnrt").find(*at) == std::string_view::npos) {
                return nullptr;
            }
        }
        ++at;
    }
    return at == end ? nullptr : at + 1;
}

// Members or elements, from after the opening bracket to past the closing one.
const char *json_items(const char *at, const char *end, char close, bool members) {
    at = json_blanks(at, end);
    if (at < end && *at == close) return at + 1;
    for (;;) {
        if (members) {
            at = json_string(json_blanks(at, end), end);
            if (!at || (at = json_blanks(at, end)) == end || *at++ != ':') return nullptr;
        }
        if (!(at = json_value(at, end))) return nullptr;
        at = json_blanks(at, end);
        if (at == end) return nullptr;
        if (*at == close) return at + 1;
        if (*at++ != ',') return nullptr;
    }
}

const char *json_value(const char *at, const char *end) {
    at = json_blanks(at, end);
    if (at == end) return nullptr;
    if (*at == '"') return json_string(at, end);
    if (*at == '[') return json_items(at + 1, end, ']', false);
    if (*at == '{') return json_items(at + 1, end, '}', true);
    const char *digits = at;
    while (at < end && *at >= '0' && *at <= '9')
        ++at;
    return at > digits ? at : nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    std::vector<std::size_t> line_sizes;
    std::FILE *in = fmemopen(const_cast<std::uint8_t *>(data), size, "rb");
    read_lines(in, [&](std::string_view line) { line_sizes.push_back(line.size()); });
    std::rewind(in);
    char *json = nullptr;
    std::size_t json_size = 0;
    std::FILE *out = open_memstream(&json, &json_size);
    report_writer report(out, report_format::json);
    std::string text;
    finding last{0, 0, message_id::bom, {}, 0};
    script_checker checker([&](const finding &f) {
        if (f.line == 0 || f.line > line_sizes.size() || f.column == 0 ||
            f.column > line_sizes[f.line - 1] + 1)
            fail("outside the script", f);
        if (!decided_later(f.message)) {
            if (f.line < last.line || (f.line == last.line && f.column < last.column))
                fail("out of order", f);
            last = f;
        }
        append_message(text, f);
        report.add("fuzzed \x01\xff.bat", f);
    });
    read_lines(in, [&](std::string_view line) { checker.check_line(line); });
    checker.finish();
    std::fclose(in);
    report.close();
    std::fclose(out);
    const char *end = json + json_size;
    const char *past = json_value(json, end);
    if (!past || json_blanks(past, end) != end) {
        std::fprintf(stderr, "the JSON report does not parse:\n%.*s\n", int(json_size), json);
        std::abort();
    }
    std::free(json);
    return 0;
}
