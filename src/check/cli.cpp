#include "check/cli.h"

#include "batch/script_lines.h"
#include "check/report.h"
#include "check/script_checker.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>

namespace {

constexpr char usage[] =
    "Usage: norvane-check [--format=gcc|json] FILE...\n"
    "Names each line of a batch script that does something else once norvane has turned it\n"
    "into a C program, where every line runs alone through system(). FILE - is standard input.\n"
    "\n"
    "  --format=gcc   a line a finding: FILE:LINE:COLUMN: SEVERITY: MESSAGE [RULE] (the default)\n"
    "  --format=json  one JSON array of findings, each with its file, line, column, severity,\n"
    "                 rule and message\n"
    "  --help         this text\n"
    "  --version      the version\n"
    "\n"
    "Exit status: 0 where nothing but notes was found, 1 where a warning or an error was, 2\n"
    "where a file could not be read or the options are wrong. The rules: man norvane-check.\n";

struct totals {
    std::uint64_t by_severity[3] = {};
    std::uint64_t checked = 0, unread = 0;
};

std::string counted(std::uint64_t count, const char *what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// "2 errors, 1 warning and 3 notes in 2 files", "no findings in 1 file", and how many files could
// not be read.
std::string total_line(const totals &t) {
    const char *names[] = {"note", "warning", "error"};
    std::string parts[3];
    int count = 0;
    for (int level = 2; level >= 0; --level)
        if (t.by_severity[level]) parts[count++] = counted(t.by_severity[level], names[level]);
    std::string line = "norvane-check: ";
    // What was shown of a file that could not be read whole counts too.
    if (t.checked || count > 0) {
        if (count == 0) line += "no findings";
        for (int i = 0; i < count; ++i)
            line += (i == 0 ? "" : i == count - 1 ? " and " : ", ") + parts[i];
        if (t.checked) line += " in " + counted(t.checked, "file");
        if (t.unread) line += "; ";
    }
    if (t.unread) line += counted(t.unread, "file") + " could not be read";
    return line + "\n";
}

void say(std::FILE *err, const std::string &text) {
    std::fputs(("norvane-check: " + text + "\n").c_str(), err);
}

// A file's name as a message shows it: no control byte moves the terminal or breaks the line.
std::string shown_name(std::string_view name) {
    std::string text;
    append_escaped(text, name, true);
    return text;
}

// Checks one script; false where it could not be read.
bool check_file(std::string_view name, const check_streams &streams, report_writer &report,
                totals &t) {
    const std::string path(name);
    std::FILE *in = name == "-" ? streams.standard_input : std::fopen(path.c_str(), "rb");
    if (!in) {
        say(streams.err, shown_name(path) + ": " + std::strerror(errno));
        return false;
    }
    script_checker checker([&](const finding &f) {
        ++t.by_severity[static_cast<int>(severity_of(f.message))];
        report.add(name, f);
    });
    std::string failure;
    try {
        if (!read_lines(in, [&](std::string_view line) { checker.check_line(line); }))
            failure = std::strerror(errno);
    } catch (const std::bad_alloc &) {
        failure = "a line longer than memory holds";
    }
    if (in != streams.standard_input) std::fclose(in);
    if (!failure.empty()) {
        say(streams.err, shown_name(path) + ": " + failure);
        return false;
    }
    checker.finish();
    return true;
}

struct options {
    report_format format = report_format::gcc;
    std::vector<std::string_view> files;
};

// Reads the arguments into `o`. Returns the exit status where the run ends with them: after the
// help or the version, or at a wrong option.
std::optional<int> read_options(const std::vector<std::string_view> &arguments,
                                const check_streams &streams, options &o) {
    const auto shown = [&](const char *text) {
        std::fputs(text, streams.out);
        return std::fflush(streams.out) == 0 ? 0 : 2;
    };
    bool options_end = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view a = arguments[i];
        if (options_end || a == "-" || a.substr(0, 1) != "-") {
            o.files.push_back(a);
        } else if (a == "--") {
            options_end = true;
        } else if (a == "--help") {
            return shown(usage);
        } else if (a == "--version") {
            return shown("norvane-check " NORVANE_VERSION "\n");
        } else if (a == "--format" || a.substr(0, 9) == "--format=") {
            const std::string_view value = a.size() > 8               ? a.substr(9)
                                           : i + 1 < arguments.size() ? arguments[++i]
                                                                      : "";
            if (value != "gcc" && value != "json") {
                say(streams.err, "unknown format '" + shown_name(value) +
                                     "': it is gcc or json (norvane-check --help)");
                return 2;
            }
            o.format = value == "gcc" ? report_format::gcc : report_format::json;
        } else {
            say(streams.err, "unknown option '" + shown_name(a) + "' (norvane-check --help)");
            return 2;
        }
    }
    if (o.files.empty()) {
        say(streams.err,
            "no script named: name one, or - for standard input (norvane-check --help)");
        return 2;
    }
    return std::nullopt;
}

} // namespace

int run_check(const std::vector<std::string_view> &arguments, const check_streams &streams) {
    options o;
    if (const auto status = read_options(arguments, streams, o)) return *status;
    totals t;
    report_writer report(streams.out, o.format);
    for (const std::string_view file : o.files)
        ++(check_file(file, streams, report, t) ? t.checked : t.unread);
    const bool written = report.close();
    const int error = errno;
    std::fputs(total_line(t).c_str(), streams.err);
    if (!written) {
        say(streams.err, std::string("the findings could not be written: ") + std::strerror(error));
        return 2;
    }
    if (t.unread) return 2;
    return t.by_severity[int(severity::error)] || t.by_severity[int(severity::warning)] ? 1 : 0;
}
