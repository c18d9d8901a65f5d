// The program's conversion of command lines, and a plain reference to compare it with.
#pragma once

#include "scan/paths.h"
#include "source_layout.h"
#include "streams.h"
#include "temp_dir.h"

#include <string>
#include <string_view>
#include <vector>

// What write_opening or write_closing writes.
inline std::string fixed_text(char *(*writer)(char *)) {
    char text[1024];
    return {text, writer(text)};
}

// The tests' one copy of a text the program writes, from tests/expected.
inline std::string expected_text(const std::string &name) {
    return read_file(EXPECTED_DIR "/" + name);
}

// The program expected with the call lines `calls`: the program for no commands, whose calls go
// after the opening brace.
inline std::string expected_program(const std::string &calls = "") {
    static const std::string frame = expected_text("no_commands.c");
    const std::size_t calls_at = frame.find("{\n") + 2;
    return frame.substr(0, calls_at) + calls + frame.substr(calls_at);
}

// The call lines that `scan` writes for `input` (what follows the name line), converted in one
// piece, the text written out whenever a call passes `text_limit` bytes of it, as the program
// does at piece_size; at 0 every call stops after its first step. Or what went wrong, where a
// call wrote more than the room it may take past its text limit: the buffer has as much again
// beyond that room, so that such a call is told here, not by the heap's corruption.
inline std::string commands_text(std::string_view input, command_scanner scan = write_commands,
                                 std::size_t text_limit = piece_size) {
    std::vector<char> bytes(input.begin(), input.end());
    // What a scan must never take for input: a plain byte, then bytes from 0x80 up.
    bytes.resize(input.size() + input_slack, '\xe9');
    bytes[input.size()] = 'x';
    std::vector<char> text(text_limit + 2 * text_room);
    command_state state;
    std::string result;
    commands_written step{bytes.data(), text.data(), stop_reason::text_full};
    while (step.reason == stop_reason::text_full) {
        step = scan(state, step.next, bytes.data() + input.size(), input_end::at_end, text.data(),
                    text.data() + text_limit);
        if (step.text_end > text.data() + text_limit + text_room) return "text past its room";
        result.append(text.data(), step.text_end);
    }
    return result;
}

// The same conversion written as plainly as possible, a line and then a byte at a time.
// `unread` is set to where the input after the terminator line starts.
inline std::string reference_commands(std::string_view input, std::size_t &unread) {
    const auto high = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
    const auto octal = [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return std::string{'\\', char('0' + (b >> 6)), char('0' + ((b >> 3) & 7)),
                           char('0' + (b & 7))};
    };
    const auto text_starts_with_backslash = [](std::string_view line, std::size_t i) {
        const auto b = static_cast<unsigned char>(line[i]);
        return b == '\\' || b == '"' || (b < 0x20 && b != '\t') || b == 0x7F ||
               (b == '?' && i > 0 && line[i - 1] == '?');
    };
    std::string text;
    for (unread = 0; unread < input.size();) {
        const std::size_t line_end = std::min(input.find('\n', unread), input.size());
        std::string_view line = input.substr(unread, line_end - unread);
        unread = std::min(line_end + 1, input.size());
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line == "end") break;
        text += "\tsystem(\"";
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char b = line[i];
            if (high(b)) {
                // A run of bytes from 0x80 up is octal when it is too long to hold, ends the
                // line, or comes right before a byte whose text starts with a backslash.
                std::size_t run_end = i;
                while (run_end < line.size() && high(line[run_end]))
                    ++run_end;
                const bool in_octal = run_end - i > longest_held_run || run_end == line.size() ||
                                      text_starts_with_backslash(line, run_end);
                for (; i < run_end; ++i)
                    text += in_octal ? octal(line[i]) : std::string{line[i]};
                --i;
            } else if (b == '\\' || b == '"' || b == '?') {
                text += text_starts_with_backslash(line, i) ? std::string{'\\', b} : std::string{b};
            } else {
                text += text_starts_with_backslash(line, i) ? octal(b) : std::string{b};
            }
        }
        text += "\");\n";
    }
    return text;
}
