// The check of one script, a line at a time, as norvane takes its lines. Memory stays that of
// the longest line and of the variables whose use is still looked for.
#pragma once

#include "check/lexer.h"
#include "check/rules.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

using finding_sink = std::function<void(const finding &)>;

// Findings come in the order of their lines and, within a line, of their columns; one whose
// text depends on a later line (a set, an exit, an end line, an end-of-file mark) comes after
// the findings of the line that decides it.
class script_checker {
  public:
    explicit script_checker(finding_sink report) : report_(std::move(report)) {}
    // One line, without its line end.
    void check_line(std::string_view line);
    // The end of the script.
    void finish();

  private:
    struct line_facts;
    void check_bytes(std::string_view line, line_facts &facts);
    void check_blocks(std::string_view text, line_facts &facts);
    void check_command(const command_view &command, line_facts &facts);
    void check_call(const command_view &command, std::string_view arguments, line_facts &facts);
    void check_set(const command_view &command, std::string_view arguments, line_facts &facts);
    bool next_in_text(line_facts &facts, finding &found);
    void decide_set(const std::string &name, message_id message);
    void use_variable(std::string_view name);
    void report_before(line_facts &facts, std::uint64_t column);
    void report_at(line_facts &facts, std::size_t at, message_id message, std::string subject = {},
                   std::uint64_t other_line = 0);
    void end_of_line(line_facts &facts);
    void report_decided();

    finding_sink report_;
    std::uint64_t line_ = 0;
    block_state blocks_;
    std::uint64_t block_line_ = 0; // where the outermost open block opened
    std::uint64_t caret_line_ = 0; // the line before, where it ended in ^
    bool cr_seen_ = false, mark_seen_ = false, end_seen_ = false, high_seen_ = false;
    std::optional<finding> end_line_, mark_, exit_;
    // The sets whose first later use is looked for, by the variable's name in small letters.
    std::unordered_map<std::string, finding> sets_;
    std::vector<finding> decided_; // by this line, for earlier ones
};
