// Whole dialogues whose input arrives in pieces, checked against the plain reference.
#pragma once

#include "commands.h"
#include "dialogue.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Runs a whole conversion of `commands`, read in pieces of `sizes`, into the file `path` with
// `scan`, and describes how the file or the point where reading stopped differs from the
// reference; empty when they agree.
inline std::string differences_from_reference(const std::string &commands,
                                              const std::vector<std::size_t> &sizes,
                                              const std::string &path, command_scanner scan) {
    const std::string name_line = path + "\n";
    scripted_input input{name_line + commands, sizes};
    conversation talk;
    converse(input, talk, scan);

    // A DOS end-of-file mark ends the input, and the next reader starts at it.
    const std::string_view before_mark =
        std::string_view(commands).substr(0, commands.find('\x1A'));
    std::size_t unread = 0;
    const std::string expected = expected_program(reference_commands(before_mark, unread));
    std::ifstream file(path, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(file), {}};
    std::string differences;
    if (written != expected) {
        const auto where =
            std::mismatch(written.begin(), written.end(), expected.begin(), expected.end());
        differences += "file differs at byte " + std::to_string(where.first - written.begin());
    }
    if (input.position != name_line.size() + unread)
        differences += " stopped reading at " + std::to_string(input.position) + ", not " +
                       std::to_string(name_line.size() + unread);
    return differences;
}
