#include "check/rules.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string_view>

namespace {

struct message_row {
    message_id id;
    const char *rule;
    severity level;
    // {subject} and {line} stand for the finding's subject and other line.
    const char *text;
};

constexpr message_row messages[] = {
    {message_id::end_line, "end-line", severity::error,
     "norvane ends its list of commands at a line that reads exactly end, so the lines after "
     "this one are not converted; remove it"},
    {message_id::eof_mark, "eof-mark", severity::error,
     "norvane's input ends at this Ctrl-Z, a DOS end-of-file mark, so what follows it is not "
     "converted; remove the mark"},
    {message_id::cr_only, "cr-only", severity::error,
     "a carriage return without a line feed (old Mac line ends): norvane reads up to the next "
     "line feed as one line; save the script with CR LF or LF line ends"},
    {message_id::bom, "bom", severity::warning,
     "a UTF-8 byte-order mark: cmd reads it as part of the first command, which then fails; "
     "save the script as UTF-8 without it, or as ANSI"},
    {message_id::block_opens, "block", severity::error,
     "this ( block goes on over the next lines, but each line runs alone, unconditionally and "
     "once; write the block on one line, its commands joined with &: if exist X (cmd1 & cmd2)"},
    {message_id::block_inside, "block", severity::error,
     "this line is inside the ( block of line {line}, but runs alone, unconditionally and "
     "once; write the block on one line"},
    {message_id::block_closes, "block", severity::error,
     "this ) closes the ( block of line {line}, but the line runs alone, where it closes "
     "nothing; write the block on one line"},
    {message_id::block_caret, "block", severity::error,
     "the ^ at the end of this line continues it onto the next, but each line runs alone; "
     "join the two lines into one"},
    {message_id::block_continued, "block", severity::error,
     "this line continues line {line}, which ends in ^, but runs alone; join the two lines "
     "into one"},
    {message_id::goto_label, "label", severity::error,
     "goto has nothing to jump to: each line runs alone, outside any batch file, with no "
     "labels; write the lines out in the order they should run"},
    {message_id::call_label, "label", severity::error,
     "call :{subject} has nothing to call: each line runs alone, outside any batch file, with "
     "no labels; write out here what the label's lines do"},
    {message_id::label_line, "label", severity::warning,
     "a label: nothing can jump to it, since each line runs alone; remove it once no goto or "
     "call needs it"},
    {message_id::loop_variable, "loop-variable", severity::error,
     "%%{subject} is how a batch file writes a for variable: in a command line, as the program "
     "runs it, write %{subject}"},
    {message_id::percent, "percent", severity::warning,
     "%% is a batch file's way of writing %: a command line keeps both, so the command gets "
     "%%; write one %"},
    {message_id::lone_percent, "percent", severity::note,
     "a % with no other on its line: a batch file drops it, but a command line keeps it; "
     "remove it where the program should not show it"},
    {message_id::argument, "arguments", severity::warning,
     "%{subject} stands for an argument of the batch file (%0 for its name), and the program "
     "has none: it stays as written; put the value in its place"},
    {message_id::shift, "arguments", severity::warning,
     "shift moves the batch file's arguments, and the program has none: it does nothing; put "
     "the values in their places"},
    {message_id::folder_change, "folder", severity::warning,
     "{subject} does not carry to the next line; join the commands that need this folder with "
     "&&: cd /d X && cmd"},
    {message_id::folder_back, "folder", severity::warning,
     "popd does not carry to the next line, where each line starts in the program's own "
     "folder; join it with the commands it is for: popd && cmd"},
    {message_id::drive_change, "folder", severity::warning,
     "{subject} does not carry to the next line; join the commands that need this drive with "
     "&&: {subject} && cmd"},
    {message_id::variable_used, "variable", severity::warning,
     "set does not carry to the next line, so line {line}, which uses {subject}, does not see "
     "this value; write the value there in its place"},
    {message_id::variable_set_again, "variable", severity::warning,
     "set does not carry to the next line, and no line uses {subject} before line {line} sets "
     "it again; join it with the commands that need it: set \"{subject}=...\" && cmd"},
    {message_id::variable_unused, "variable", severity::warning,
     "set does not carry to the next line; join it with the commands that need {subject}: "
     "set \"{subject}=...\" && cmd"},
    {message_id::path_change, "variable", severity::warning,
     "path sets PATH, which does not carry to the next line, where programs are looked for in "
     "the old PATH; join it with the commands that need it: path X & cmd"},
    {message_id::arithmetic, "arithmetic", severity::warning,
     "set /a writes its result when it runs as a command line, as the program runs it, and not "
     "in a batch file; send it to nul: set /a N+=1 >nul"},
    {message_id::delayed, "delayed", severity::warning,
     "delayed expansion is off in a command line: !{subject}! stays as written; put the value "
     "in its place"},
    {message_id::setlocal, "setlocal", severity::warning,
     "{subject} does nothing outside a batch file, and nothing carries from line to line "
     "anyway; remove it"},
    {message_id::errorlevel, "errorlevel", severity::warning,
     "this line cannot see the status of the line before: each line starts afresh, with "
     "errorlevel 0; join the test to the command it tests: cmd & if errorlevel 1 ..."},
    {message_id::exit, "exit", severity::warning,
     "exit ends only this line's command interpreter, not the program: line {line} and the "
     "lines after it still run"},
    {message_id::quotes, "quotes", severity::warning,
     "cmd /c drops this line's first and last quote, so it runs something else; write call or "
     "@ in front: @\"C:\\my tools\\x.exe\" \"a b\""},
    {message_id::long_line, "long-line", severity::error,
     "this line is {subject} bytes long: cmd.exe takes at most 8191 characters a command, and "
     "does not run it; split it into shorter commands"},
    {message_id::nul, "nul", severity::warning,
     "a NUL byte: the command ends here, as system() takes it; remove it"},
    {message_id::call_script, "call-script", severity::note,
     "what {subject} sets, its variables and its folder, does not reach the lines after this "
     "one, which each run alone"},
    {message_id::code_page, "code-page", severity::note,
     "a byte from 0x80 up: the program's commands are read in the Windows (ANSI) code page, a "
     "batch file in the console's (OEM) code page, so it may stand for another letter; save "
     "the script in the Windows code page, or keep such names ASCII"},
    {message_id::unset_read, "unset", severity::note,
     "nothing before this line sets {subject}, and Windows does not always: where it is unset, "
     "a batch file reads %{subject}% as nothing, a command line as the text %{subject}%; set it "
     "earlier in the script"},
    {message_id::unset_tested, "unset", severity::warning,
     "this if tests whether {subject} is empty, but where it is unset a command line reads "
     "%{subject}% as the text %{subject}%, never as nothing, so the test takes the other "
     "branch; test it with if [not] defined {subject}"},
    {message_id::skipped, "skipped", severity::warning,
     "a batch file never runs {subject}: the goto on line {line} jumps past, and only a label "
     "could lead back; the program runs them in their turn; remove them, or put a label in "
     "front"},
    {message_id::call_unknown, "call-script", severity::note,
     "call {subject} may run a batch file, {subject}.bat or {subject}.cmd, as PATH and PATHEXT "
     "find it: then what it sets, its variables and its folder, does not reach the lines after "
     "this one, which each run alone"},
    {message_id::batch_without_call, "call-script", severity::warning,
     "{subject} is started without call, and a batch file never comes back from it, so line "
     "{line} and the lines after it run only in the program; write call {subject}, or end the "
     "script with it"},
    {message_id::flat_echo_on, "echo", severity::error,
     "echo is on from here, so a batch file shows each command before it runs it, and the "
     "program shows none; start the script with @echo off"},
    {message_id::flat_echo_state, "echo", severity::error,
     "echo alone shows whether echo is on, which is off here and on in the program; write echo. "
     "for an empty line"},
    {message_id::flat_goto, "label", severity::error,
     "goto cannot be flattened: the program runs its lines in the order they stand; write them "
     "out in the order they should run"},
    {message_id::flat_call, "call", severity::error,
     "call cannot be flattened: it expands % forms once more, and a label's or a batch file's "
     "lines would run within this one; write out what it does"},
    {message_id::flat_batch_file, "call-script", severity::error,
     "{subject} takes over from a batch file, whose lines after it then never run, but the "
     "program goes on; end the script with it"},
    {message_id::flat_set_prompt, "variable", severity::error,
     "set /p takes its value as the script runs, so the lines after it cannot be given it"},
    {message_id::flat_arithmetic, "arithmetic", severity::error,
     "set /a cannot be flattened: the program would show its result; write set NAME=value with "
     "the value it works out"},
    {message_id::flat_branch_set, "variable", severity::error,
     "this set runs in a branch, a loop or a pipe, so the lines after it cannot be given its "
     "value; set it unconditionally, or make it part of the script's last line"},
    {message_id::flat_branch_folder, "folder", severity::error,
     "this change of folder runs in a branch, a loop or a pipe, so the lines after it cannot be "
     "given its folder; change it unconditionally, or make it part of the script's last line"},
    {message_id::flat_unset, "variable", severity::error,
     "%{subject}% is read here, but the script does not set it: a batch file reads it as nothing "
     "where it is unset, a command line as its name; set it earlier in the script"},
    {message_id::flat_dynamic, "variable", severity::error,
     "%{subject}% cannot be flattened here: the program reads it otherwise (the folder a line "
     "starts in, the status of the line before, its own command line); write its value"},
    {message_id::flat_script_path, "arguments", severity::error,
     "{subject} stands for the script's own path; give it with --script-path=PATH"},
    {message_id::flat_argument, "arguments", severity::error,
     "{subject} cannot be flattened: it is the name the script was started by, or depends on "
     "its file (short name, attributes, time, size) or on PATH; write the value"},
    {message_id::flat_percent, "percent", severity::error,
     "a command line would read %{subject}% here as a variable of its own; write it otherwise"},
    {message_id::flat_delayed, "delayed", severity::error,
     "an ! with delayed expansion on cannot be flattened: the program runs with it off"},
    {message_id::flat_exit, "exit", severity::error,
     "exit ends a batch file here, but the program goes on to the lines after it; end the "
     "script with it"},
    {message_id::flat_errorlevel, "errorlevel", severity::error,
     "this test of errorlevel cannot be joined to the command it tests: the line before it is "
     "no plain command of its own; join them by hand with &"},
    {message_id::flat_block_line, "block", severity::error,
     "this line of a block cannot be joined to the others exactly: it holds a label, a comment "
     "after a command, an open quote, or ends in & or |; write it otherwise"},
    {message_id::flat_long_line, "long-line", severity::error,
     "flattened, this line would be {subject} bytes long, and cmd.exe runs at most 8191; split "
     "it"},
    {message_id::flat_eof_mark, "eof-mark", severity::error,
     "a Ctrl-Z cannot be flattened: norvane's input ends at it; remove it"},
    {message_id::flat_setlocal, "setlocal", severity::error,
     "this setlocal cannot be flattened: in a branch, or with extensions off"},
    {message_id::flat_parse, "syntax", severity::error,
     "cmd reads this line in a way that cannot be flattened exactly ({subject}); write it "
     "otherwise"},
    {message_id::flat_unclean, "flatten", severity::error,
     "flattened, this line would still hold what norvane-check's {subject} rule names; write "
     "it otherwise"},
    {message_id::unknown_rule, "directive", severity::warning,
     "norvane-check has no rule {subject}, so this directive silences nothing by that name; "
     "write one of the rules man norvane-check lists"},
};

struct rule_row {
    const char *name;
    const char *description;
};

constexpr rule_row rules[] = {
    {"end-line", "A line that reads exactly end ends norvane's list of commands"},
    {"eof-mark", "A Ctrl-Z ends norvane's input"},
    {"cr-only", "A carriage return without a line feed"},
    {"bom", "A UTF-8 byte-order mark, which cmd reads as part of the first command"},
    {"block", "A block or a ^ continuation over several lines, which each run alone"},
    {"label", "goto, call of a label, and labels: each line runs alone, with nothing to jump to"},
    {"loop-variable", "%%x, a batch file's way of writing a for variable"},
    {"percent", "%% and a lone %, which a command line keeps"},
    {"arguments", "%0 to %9, %* and shift: the program has no arguments"},
    {"folder", "A change of folder or drive that does not carry to the next line"},
    {"variable", "A set whose value does not carry to the next line"},
    {"arithmetic", "set /a, which writes its result in a command line"},
    {"delayed", "!NAME!, which a command line leaves as written"},
    {"setlocal", "setlocal and endlocal, which do nothing outside a batch file"},
    {"errorlevel", "A test of the status of the line before, which a line cannot see"},
    {"exit", "exit, which ends only its own line"},
    {"quotes", "A line whose first and last quote cmd /c drops"},
    {"long-line", "A line longer than cmd.exe runs"},
    {"nul", "A NUL byte, which ends the command"},
    {"call-script", "A batch file called, or started without call"},
    {"code-page", "A byte from 0x80 up, which a command line reads in another code page"},
    {"unset", "A variable nothing set, which a command line reads as its own text"},
    {"skipped", "Lines that a goto jumps over, which the program runs"},
    {"echo", "echo on, or echo alone, which --flatten cannot rewrite"},
    {"call", "call, which --flatten cannot rewrite"},
    {"syntax", "A line that cmd reads in a way --flatten cannot rewrite exactly"},
    {"flatten", "A line --flatten would rewrite into one that norvane-check names"},
    {"directive", "A directive that names no rule"},
};

const message_row &row_of(message_id id) {
    return messages[static_cast<int>(id)];
}

} // namespace

static_assert(sizeof messages / sizeof messages[0] == int(message_id::unknown_rule) + 1,
              "a row for every message");

bool known_rule(std::string_view name) {
    return rule_index(name) < rule_count();
}

std::size_t rule_count() {
    return std::size(rules);
}

std::size_t rule_index(std::string_view name) {
    return std::size_t(std::find_if(std::begin(rules), std::end(rules),
                                    [&](const rule_row &row) { return name == row.name; }) -
                       std::begin(rules));
}

const char *rule_name(std::size_t index) {
    return rules[index].name;
}

const char *rule_description(std::size_t index) {
    return rules[index].description;
}

severity rule_level(std::size_t index) {
    severity level = severity::note;
    for (const message_row &row : messages)
        if (row.rule == std::string_view(rules[index].name)) level = std::max(level, row.level);
    return level;
}

const char *rule_of(message_id message) {
    return row_of(message).rule;
}

severity severity_of(message_id message) {
    return row_of(message).level;
}

const char *severity_name(severity level) {
    return level == severity::error ? "error" : level == severity::warning ? "warning" : "note";
}

std::string lines_named(std::uint64_t first, std::uint64_t last) {
    return first == last ? "line " + std::to_string(first)
                         : "lines " + std::to_string(first) + "-" + std::to_string(last);
}

void append_message(std::string &out, const finding &f) {
    std::string_view text = row_of(f.message).text;
    for (std::size_t brace; (brace = text.find('{')) != std::string_view::npos;) {
        out.append(text.substr(0, brace));
        text.remove_prefix(brace);
        if (text.substr(0, 9) == "{subject}") {
            append_escaped(out, f.subject, false);
            text.remove_prefix(9);
        } else {
            out += std::to_string(f.other_line);
            text.remove_prefix(6); // {line}
        }
    }
    out.append(text);
}

void append_escaped(std::string &out, std::string_view text, bool keep_high) {
    const auto shown = [&](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b >= 0x20 && b < 0x7F) || (keep_high && b >= 0x80);
    };
    while (!text.empty()) {
        // A run of bytes shown as they are, at once.
        const auto run = std::find_if_not(text.begin(), text.end(), shown);
        out.append(text.data(), std::size_t(run - text.begin()));
        text.remove_prefix(std::size_t(run - text.begin()));
        if (text.empty()) break;
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[0]));
        out += escape;
        text.remove_prefix(1);
    }
}
