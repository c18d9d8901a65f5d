#include "check/report.h"

#include <charconv>
#include <cstdint>
#include <string>

// The length of the UTF-8 sequence at `text`, or 0 where it is none.
std::size_t utf8_length(std::string_view text) {
    const auto b = static_cast<unsigned char>(text[0]);
    const std::size_t size = b < 0x80                ? 1
                             : b >= 0xC2 && b < 0xE0 ? 2
                             : b >= 0xE0 && b < 0xF0 ? 3
                             : b >= 0xF0 && b < 0xF5 ? 4
                                                     : 0;
    if (size <= 1 || size > text.size()) return size == 1 ? 1 : 0;
    for (std::size_t i = 1; i < size; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0;
    const auto second = static_cast<unsigned char>(text[1]);
    if ((b == 0xE0 && second < 0xA0) || (b == 0xED && second >= 0xA0) ||
        (b == 0xF0 && second < 0x90) || (b == 0xF4 && second >= 0x90))
        return 0; // too long a form, a surrogate, past U+10FFFF
    return size;
}

namespace {

void append_number(std::string &out, std::uint64_t n) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

} // namespace

void append_json(std::string &out, std::string_view text) {
    out += '"';
    while (!text.empty()) {
        const auto b = static_cast<unsigned char>(text[0]);
        const std::size_t size = utf8_length(text);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += char(b);
        } else if (b >= 0x20 && size > 0) {
            out.append(text.data(), size);
        } else {
            char escape[7];
            std::snprintf(escape, sizeof escape, "\\u%04x", b);
            out += escape;
        }
        text.remove_prefix(size > 0 ? size : 1);
    }
    out += '"';
}

namespace {

void append_object(std::string &out, std::string_view file, const finding &f) {
    out += "{\"file\": ";
    append_json(out, file);
    out += ", \"line\": ";
    append_number(out, f.line);
    out += ", \"column\": ";
    append_number(out, f.column);
    out.append(", \"severity\": \"").append(severity_name(severity_of(f.message)));
    out.append("\", \"rule\": \"").append(rule_of(f.message)).append("\", \"message\": ");
    std::string message;
    append_message(message, f);
    append_json(out, message);
    out += '}';
}

// Colours as gcc shows them.
constexpr const char *bold = "\033[1m", *plain = "\033[m";
const char *colour_of(severity level) {
    return level == severity::error     ? "\033[1;31m"
           : level == severity::warning ? "\033[1;35m"
                                        : "\033[1;36m";
}

} // namespace

void append_gcc_line(std::string &out, std::string_view file, const finding &f, bool colour) {
    const severity level = severity_of(f.message);
    if (colour) out += bold;
    append_escaped(out, file, true); // no control byte breaks the line or moves the terminal
    out += ':';
    append_number(out, f.line);
    out += ':';
    append_number(out, f.column);
    out += ": ";
    if (colour) out.append(plain).append(colour_of(level));
    out.append(severity_name(level)).append(":");
    if (colour) out += plain;
    out += ' ';
    append_message(out, f);
    out += " [";
    if (colour) out += colour_of(level);
    out += rule_of(f.message);
    if (colour) out += plain;
    out += "]\n";
}

void report_writer::write() {
    std::fwrite(line_.data(), 1, line_.size(), out_);
    line_.clear();
}

void report_writer::add(std::string_view file, const finding &f) {
    line_.clear();
    switch (format_) {
    case report_format::gcc:
        append_gcc_line(line_, file, f, false);
        break;
    case report_format::json:
        line_ += any_ ? ",\n  " : "[\n  ";
        append_object(line_, file, f);
        break;
    case report_format::tty:
    case report_format::sarif:
        held_.push_back(f);
        return;
    }
    any_ = true;
    write();
}

void report_writer::end_file(std::string_view file, const script_view &script) {
    for (const finding &f : held_) {
        if (format_ == report_format::tty) {
            append_tty(line_, file, f, script, colour_);
        } else {
            if (!any_) append_sarif_start(line_);
            if (any_) line_ += ",";
            append_sarif_result(line_, file, f, script);
        }
        any_ = true;
        write();
    }
    held_.clear();
}

bool report_writer::close() {
    if (format_ == report_format::json) std::fputs(any_ ? "\n]\n" : "[]\n", out_);
    if (format_ == report_format::sarif) {
        if (!any_) append_sarif_start(line_);
        append_sarif_end(line_);
        write();
    }
    return std::fflush(out_) == 0 && !std::ferror(out_);
}
