// The dialogue against the plain reference, on inputs that stress the scanner: every length up
// to 200, shifted across the 64-byte step, random lines of the bytes that matter, runs of bytes
// from 0x80 up longer than can be held, and input in pieces of many sizes.
#include "differential.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(Differential, MatchesThePlainReference) {
    temp_dir dir;
    const std::string path = dir / "out.c";
    // The bytes that matter; half the rounds take only those before "\r", which leave most
    // 64-byte steps to the fast step.
    const std::string alphabet[] = {"a",  " ",    "\t",   "\n",      "\r\n",      "?",      "??",
                                    "\\", "\"",   "end",  "\nend\n", "\nend\r\n", "\nend",  "en",
                                    "\r", "\x01", "\x7f", "\x83",    "\xe9",      "\x95\\", "\x1a"};
    const std::size_t common = 14;
    std::mt19937 random(8);
    std::uniform_int_distribution<std::size_t> piece(1, 300), pick(0, std::size(alphabet) - 1);
    // A run of bytes from 0x80 up as long as can be held, and one byte longer, ending a read.
    for (const std::size_t run : {longest_held_run, longest_held_run + 1})
        for (const auto &scan : scan_paths())
            ASSERT_EQ(differences_from_reference(std::string(run, '\xe9') + "x\n",
                                                 {path.size() + 1 + run, 1}, path, scan.scan),
                      "")
                << scan.name << ", a run of " << run;
    for (int round = 0; round < 3000; ++round) {
        std::string commands;
        // First every short length, each after an offset of its own (the round's, modulo 64),
        // then random lengths, some with a run of bytes from 0x80 up too long to hold.
        const std::size_t length = round < 200 ? round : piece(random) * (round % 10 ? 1 : 20);
        const std::string offset(round % 64, 'o');
        while (commands.size() < length)
            commands += round % 7 == 0 && round > 200 ? std::string(1100, '\xe9') + "x"
                        : round % 2                   ? alphabet[pick(random) % common]
                                                      : alphabet[pick(random)];
        const std::vector<std::size_t> sizes{piece(random), 1, piece(random)};
        for (const auto &scan : scan_paths()) {
            const std::string differences =
                differences_from_reference(offset + commands, sizes, path, scan.scan);
            ASSERT_EQ(differences, "") << scan.name << ", round " << round;
        }
    }
}

} // namespace
