// Times each way of scanning on a script held in memory, beside a plain loop that escapes the
// same bytes one at a time: the scan's own cost, which neither the disk, the system's cache of
// files nor system calls take part in. As times the loop, which runs in the same process on the
// same processor at the same moment, it changes little with the machine or how busy it is.
//
// Usage: scan_time SCRIPT [RUNS]
// For each way this processor has, the median of RUNS (25) runs, interleaved with the loop's:
// "NAME NS_PER_BYTE TIMES_THE_LOOP", then "plain NS_PER_BYTE 1".
#include "scan/paths.h"
#include "streams.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// The commands of the script, after its name line, and the slack the scan may read past them.
struct held_script {
    std::vector<char> bytes;
    std::size_t size;
};

held_script read_commands(const char *path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> all{std::istreambuf_iterator<char>(in), {}};
    const auto line_end = std::find(all.begin(), all.end(), '\n');
    std::vector<char> commands(line_end == all.end() ? line_end : line_end + 1, all.end());
    const std::size_t size = commands.size();
    commands.resize(size + input_slack);
    return {std::move(commands), size};
}

// Scans it all as the program does, into a piece of text taken as written whenever it is full.
// Returns the size of the text, so that nothing is left out as unused.
std::size_t scan_all(command_scanner scan, const held_script &script, std::vector<char> &text) {
    command_state state;
    std::size_t written = 0;
    commands_written step{script.bytes.data(), text.data(), stop_reason::text_full};
    while (step.reason == stop_reason::text_full) {
        step = scan(state, step.next, script.bytes.data() + script.size, input_end::at_end,
                    text.data(), text.data() + piece_size);
        written += std::size_t(step.text_end - text.data());
    }
    return written;
}

// The yardstick, which does not change with the program: the escape a byte at a time, as a
// first version might write it, into the same piece of text.
std::size_t plain_loop(const held_script &script, std::vector<char> &text) {
    constexpr char line_break[] = "\");\n\tsystem(\"";
    char *out = text.data();
    std::size_t written = 0;
    for (std::size_t i = 0; i < script.size; ++i) {
        const auto b = static_cast<unsigned char>(script.bytes[i]);
        if (b == '\\' || b == '"' || b == '?') {
            *out++ = '\\';
            *out++ = char(b);
        } else if (b == '\n') {
            out = std::copy_n(line_break, sizeof line_break - 1, out);
        } else if ((b < 0x20 && b != '\t') || b >= 0x7F) {
            *out++ = '\\';
            *out++ = char('0' + (b >> 6));
            *out++ = char('0' + ((b >> 3) & 7));
            *out++ = char('0' + (b & 7));
        } else {
            *out++ = char(b);
        }
        if (out > text.data() + piece_size) {
            written += std::size_t(out - text.data());
            out = text.data();
        }
    }
    return written + std::size_t(out - text.data());
}

template <typename Work> double seconds(Work work) {
    static volatile std::size_t sink;
    (void)sink;
    const auto start = std::chrono::steady_clock::now();
    sink = work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: scan_time SCRIPT [RUNS]\n");
        return 2;
    }
    const held_script script = read_commands(argv[1]);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 25;
    std::vector<char> text(piece_size + text_room);
    const auto paths = scan_paths();
    std::vector<std::vector<double>> times(paths.size() + 1);
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < paths.size(); ++i)
            times[i].push_back(seconds([&] { return scan_all(paths[i].scan, script, text); }));
        times.back().push_back(seconds([&] { return plain_loop(script, text); }));
    }
    const double plain = median(times.back());
    for (std::size_t i = 0; i < paths.size(); ++i)
        std::printf("%s %.3f %.3f\n", paths[i].name, median(times[i]) * 1e9 / double(script.size),
                    median(times[i]) / plain);
    std::printf("plain %.3f 1\n", plain * 1e9 / double(script.size));
}
