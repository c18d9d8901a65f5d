// What norvane-check reports: each rule's name and severity, and the text of each finding, which
// says what happens in the converted program and what to write instead.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class severity { note, warning, error };

// One text a finding can have; several may belong to one rule.
enum class message_id {
    end_line,
    eof_mark,
    cr_only,
    bom,
    block_opens,
    block_inside,
    block_closes,
    block_caret,
    block_continued,
    goto_label,
    call_label,
    label_line,
    loop_variable,
    percent,
    lone_percent,
    argument,
    shift,
    folder_change,
    folder_back,
    drive_change,
    variable_used,
    variable_set_again,
    variable_unused,
    path_change,
    arithmetic,
    delayed,
    setlocal,
    errorlevel,
    exit,
    quotes,
    long_line,
    nul,
    call_script,
    code_page,
    unset_read,
    unset_tested,
    skipped,
    call_unknown,
    batch_without_call,
    // Why --flatten cannot rewrite a line.
    flat_echo_on,
    flat_echo_state,
    flat_goto,
    flat_call,
    flat_batch_file,
    flat_set_prompt,
    flat_arithmetic,
    flat_branch_set,
    flat_branch_folder,
    flat_unset,
    flat_dynamic,
    flat_script_path,
    flat_argument,
    flat_percent,
    flat_delayed,
    flat_exit,
    flat_errorlevel,
    flat_block_line,
    flat_long_line,
    flat_eof_mark,
    flat_setlocal,
    flat_parse,
    flat_unclean,
    // A directive that names no rule; last, as it is of neither kind.
    unknown_rule,
};

struct finding {
    std::uint64_t line, column; // from 1; the column counts bytes
    message_id message;
    std::string subject;          // what the text names: a word, a variable, a size
    std::uint64_t other_line = 0; // a line the text names
};

const char *rule_of(message_id message);
// Whether `name` is a rule that a finding can have.
bool known_rule(std::string_view name);

// The rules, by index: how many, the index of a name (rule_count() where it is none), and each
// one's name, short description and highest severity.
std::size_t rule_count();
std::size_t rule_index(std::string_view name);
const char *rule_name(std::size_t index);
const char *rule_description(std::size_t index);
severity rule_level(std::size_t index);
severity severity_of(message_id message);
const char *severity_name(severity level);

// "line N", or "lines N-M" where they are more.
std::string lines_named(std::uint64_t first, std::uint64_t last);

// Appends the finding's text to `out`, the script's words in it written so that any terminal
// shows them as they are: bytes other than printable ASCII as \xNN.
void append_message(std::string &out, const finding &f);

// Appends `text` with each control byte, and each byte from 0x80 up unless `keep_high`, as
// \xNN.
void append_escaped(std::string &out, std::string_view text, bool keep_high);
