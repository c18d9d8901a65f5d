#include "check/cli.h"

#include "batch/script_lines.h"
#include "check/report.h"
#include "check/script_checker.h"
#include "check/silencing.h"
#include "check/unified_diff.h"
#include "flatten/flattener.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>

namespace {

constexpr char usage[] =
    "Usage: norvane-check [--format=tty|gcc|json|sarif] [--color=WHEN] [--exclude=RULE,...]\n"
    "                     [--severity=LEVEL] [--script-path=PATH] FILE...\n"
    "       norvane-check --flatten [--script-path=PATH] FILE\n"
    "       norvane-check --format=diff [--script-path=PATH] FILE...\n"
    "Names each line of a batch script that does something else once norvane has turned it\n"
    "into a C program, where every line runs alone through system(). FILE - is standard input.\n"
    "\n"
    "  --format=tty        each finding as gcc shows one, with the line, a caret under the\n"
    "                      column and the text --flatten writes instead (the default)\n"
    "  --format=gcc        a line a finding: FILE:LINE:COLUMN: SEVERITY: MESSAGE [RULE], for\n"
    "                      editors and scripts\n"
    "  --format=json       one JSON array of findings, each with its file, line, column,\n"
    "                      severity, rule and message\n"
    "  --format=sarif      one SARIF 2.1.0 log, for code scanning\n"
    "  --format=diff       what --flatten writes, as a unified diff against each FILE\n"
    "  --color=WHEN        colour in the tty form: auto (where standard output is a terminal\n"
    "                      and NO_COLOR is not set), always or never\n"
    "  --exclude=RULE,...  report none of these rules\n"
    "  --severity=LEVEL    report only findings of LEVEL (error, warning, note) and above\n"
    "  --flatten           write the script as lines that each run alone and together do what\n"
    "                      the batch file does, or name the lines that keep it from that\n"
    "  --script-path=PATH  the script's full path, for %~dp0 and its kin\n"
    "  --help              this text\n"
    "  --version           the version\n"
    "\n"
    "A line rem norvane-check disable=RULE,... (also @rem or ::) silences those rules on the\n"
    "line after it, or in the whole script before its first command.\n"
    "\n"
    "Exit status: 0 where nothing but notes was reported (with --flatten and --format=diff:\n"
    "where it was written), 1 where a warning or an error was (where a line keeps it from being\n"
    "flattened), 2 where a file could not be read or the options are wrong. The rules: man\n"
    "norvane-check.\n";

struct totals {
    std::uint64_t by_severity[3] = {};
    std::uint64_t checked = 0, unread = 0;
    std::uint64_t flattenable = 0;
    std::string first_block; // FILE:LINE of the first line that keeps a script from --flatten
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
    if (t.checked == 1)
        line += t.flattenable ? "; --flatten can rewrite it"
                              : "; --flatten cannot rewrite it: " + t.first_block + " blocks it";
    else if (t.checked > 1)
        line += "; --flatten can rewrite " + std::to_string(t.flattenable) + " of them" +
                (t.first_block.empty() ? "" : "; " + t.first_block + " blocks the first it cannot");
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

struct options {
    report_format format = report_format::tty;
    bool flatten = false, diff = false;
    enum when { automatic, always, never } colour = automatic; // in --color's order
    std::vector<std::string> excluded;
    severity lowest = severity::note;
    std::string script_path;
    std::vector<std::string_view> files;
};

// A script's lines as read, for the forms that show them or rewrite them.
struct script_lines {
    std::vector<std::string> lines, ends;
    std::vector<rewrite> rewrites;
    void add(std::string_view line, std::string_view end) {
        lines.emplace_back(line);
        ends.emplace_back(end);
    }
    flattener::rewrite_sink sink() {
        return [this](std::uint64_t first, std::uint64_t last, const std::string *text,
                      std::string_view end) {
            // Lines dropped in front of one written as it was are only dropped.
            if (text && first < last && *text == lines[last - 1] && end == ends[last - 1]) {
                rewrites.push_back({first, last - 1, std::nullopt, {}});
                first = last;
            }
            rewrites.push_back({first, last,
                                text ? std::optional<std::string>(*text) : std::nullopt,
                                std::string(end)});
        };
    }
};

// Opens a script by its name, - for standard input; says why not where it cannot.
std::FILE *open_script(std::string_view name, const check_streams &streams) {
    const std::string path(name);
    std::FILE *in = name == "-" ? streams.standard_input : std::fopen(path.c_str(), "rb");
    if (!in) say(streams.err, shown_name(path) + ": " + std::strerror(errno));
    return in;
}

// Reads a script's lines into `line`; says why where that fails.
bool read_script(std::string_view name, std::FILE *in, const check_streams &streams,
                 const std::function<void(std::string_view, std::string_view)> &line) {
    std::string failure;
    try {
        if (!read_lines(in, line)) failure = std::strerror(errno);
    } catch (const std::bad_alloc &) {
        failure = "a line longer than memory holds";
    }
    if (in != streams.standard_input) std::fclose(in);
    if (failure.empty()) return true;
    say(streams.err, shown_name(name) + ": " + failure);
    return false;
}

// Checks one script, and whether --flatten could rewrite it; false where it could not be read.
bool check_file(std::string_view name, const check_streams &streams, const options &o,
                report_writer &report, totals &t) {
    std::FILE *in = open_script(name, streams);
    if (!in) return false;
    script_checker checker([&](const finding &f) {
        const severity level = severity_of(f.message);
        if (level < o.lowest) return;
        ++t.by_severity[static_cast<int>(level)];
        report.add(name, f);
    });
    for (const std::string &rule : o.excluded)
        checker.silence(rule);
    // Only the first line that keeps it from --flatten is named: the rest is not looked at.
    std::uint64_t blocked = 0;
    flattener judge(
        {o.script_path}, [](std::string_view, std::string_view) {},
        [&](const finding &f) { blocked = blocked ? std::min(blocked, f.line) : f.line; });
    script_lines script;
    const bool shown = report.shows_lines();
    if (shown) judge.on_rewrite(script.sink());
    const bool read =
        read_script(name, in, streams, [&](std::string_view line, std::string_view end) {
            checker.check_line(line);
            if (shown) script.add(line, end);
            if (!blocked) judge.add_line(line, end);
        });
    if (read) {
        checker.finish();
        if (!blocked) judge.finish();
    }
    report.end_file(name, {script.lines, read && !blocked ? &script.rewrites : nullptr});
    if (!read) return false;
    if (!blocked)
        ++t.flattenable;
    else if (t.first_block.empty())
        t.first_block = shown_name(name) + ":" + std::to_string(blocked);
    return true;
}

// --flatten and --format=diff: the script rewritten on `out`, or its difference from the
// file; or nothing there and why not on `err`.
int flatten_file(std::string_view name, const options &o, const check_streams &streams) {
    std::FILE *in = open_script(name, streams);
    if (!in) return 2;
    std::string flat;
    bool refused = false;
    report_writer refusals(streams.err, report_format::gcc);
    flattener f(
        {o.script_path},
        [&](std::string_view text, std::string_view end) {
            if (!o.diff) flat.append(text).append(end);
        },
        [&](const finding &refusal) {
            refused = true;
            refusals.add(name, refusal);
        });
    script_lines script;
    if (o.diff) f.on_rewrite(script.sink());
    if (!read_script(name, in, streams, [&](std::string_view line, std::string_view end) {
            if (o.diff) script.add(line, end);
            f.add_line(line, end);
        }))
        return 2;
    f.finish();
    refusals.close();
    if (refused) {
        say(streams.err, shown_name(name) + " cannot be flattened: each line above keeps it");
        return 1;
    }
    if (o.diff) flat = unified_diff(name, script.lines, script.ends, script.rewrites);
    streams.out_as_bytes();
    std::fwrite(flat.data(), 1, flat.size(), streams.out);
    if (std::fflush(streams.out) != 0 || std::ferror(streams.out)) {
        say(streams.err,
            std::string("the flattened script could not be written: ") + std::strerror(errno));
        return 2;
    }
    return 0;
}

// A comma-separated list of rules, each one known; false after saying which is not.
bool read_rules(std::string_view list, const check_streams &streams,
                std::vector<std::string> &rules) {
    for (const auto &[at, rule] : rule_list(list)) {
        if (!known_rule(rule)) {
            say(streams.err, "unknown rule '" + shown_name(rule) +
                                 "' in --exclude (man norvane-check lists the rules)");
            return false;
        }
        rules.emplace_back(rule);
    }
    return true;
}

// Reads the arguments into `o`. Returns the exit status where the run ends with them: after the
// help or the version, or at a wrong option.
std::optional<int> read_options(const std::vector<std::string_view> &arguments,
                                const check_streams &streams, options &o) {
    const auto shown = [&](const char *text) {
        std::fputs(text, streams.out);
        return std::fflush(streams.out) == 0 ? 0 : 2;
    };
    // --NAME=VALUE or --NAME VALUE.
    const auto value_of = [&](std::string_view a, std::string_view option, std::size_t &i) {
        return a.size() > option.size()   ? a.substr(option.size() + 1)
               : i + 1 < arguments.size() ? arguments[++i]
                                          : "";
    };
    const auto is = [](std::string_view a, std::string_view option) {
        return a == option || a.substr(0, option.size() + 1) == std::string(option) + "=";
    };
    // The index of `value` among `names`, or -1 after saying what it may be.
    const auto choice = [&](std::string_view what, std::string_view value,
                            std::initializer_list<std::string_view> names) {
        const auto known = std::find(names.begin(), names.end(), value);
        if (known != names.end()) return int(known - names.begin());
        std::string listed;
        for (const std::string_view *name = names.begin(); name != names.end(); ++name)
            listed.append(name == names.begin()     ? ""
                          : name + 1 == names.end() ? " or "
                                                    : ", ")
                .append(*name);
        say(streams.err, "unknown " + std::string(what) + " '" + shown_name(value) + "': it is " +
                             listed + " (norvane-check --help)");
        return -1;
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
        } else if (a == "--flatten") {
            o.flatten = true;
        } else if (is(a, "--script-path")) {
            o.script_path = value_of(a, "--script-path", i);
            if (o.script_path.empty()) {
                say(streams.err, "--script-path needs a path (norvane-check --help)");
                return 2;
            }
        } else if (is(a, "--format")) {
            // In report_format's order, then diff, which is --flatten's.
            const int format = choice("format", value_of(a, "--format", i),
                                      {"tty", "gcc", "json", "sarif", "diff"});
            if (format < 0) return 2;
            o.diff = format == 4;
            if (!o.diff) o.format = report_format(format);
        } else if (is(a, "--color") || is(a, "--colour")) {
            const std::string_view option = a.substr(0, 8) == "--colour" ? "--colour" : "--color";
            const int colour =
                choice("--color", value_of(a, option, i), {"auto", "always", "never"});
            if (colour < 0) return 2;
            o.colour = options::when(colour);
        } else if (is(a, "--exclude")) {
            if (!read_rules(value_of(a, "--exclude", i), streams, o.excluded)) return 2;
        } else if (is(a, "--severity")) {
            // From the highest, as severity counts them the other way.
            const int level =
                choice("severity", value_of(a, "--severity", i), {"error", "warning", "note"});
            if (level < 0) return 2;
            o.lowest = severity(2 - level);
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
    if (o.flatten && o.files.size() > 1) {
        say(streams.err, "--flatten takes one script (norvane-check --help)");
        return 2;
    }
    return std::nullopt;
}

} // namespace

int run_check(const std::vector<std::string_view> &arguments, const check_streams &streams) {
    options o;
    if (const auto status = read_options(arguments, streams, o)) return *status;
    if (o.flatten) return flatten_file(o.files.front(), o, streams);
    if (o.diff) {
        int status = 0;
        for (const std::string_view file : o.files)
            status = std::max(status, flatten_file(file, o, streams));
        return status;
    }
    totals t;
    const char *no_colour = std::getenv("NO_COLOR");
    const bool colour =
        o.format == report_format::tty &&
        (o.colour == options::always ||
         (o.colour == options::automatic && streams.out_is_terminal && !(no_colour && *no_colour)));
    report_writer report(streams.out, o.format, colour);
    for (const std::string_view file : o.files)
        ++(check_file(file, streams, o, report, t) ? t.checked : t.unread);
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
