// The check of one script, a logical line at a time (lines that ^ joins are one), as norvane
// takes its lines. Memory stays that of the longest logical line and of the names of the
// variables the script sets or reads unset.
#pragma once

#include "batch/lexer.h"
#include "batch/logical_line.h"
#include "check/block_rules.h"
#include "check/byte_rules.h"
#include "check/command_rules.h"
#include "check/rules.h"
#include "check/silencing.h"
#include "check/variables.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using finding_sink = std::function<void(const finding &)>;

// Findings come in the order of their lines and, within a line, of their columns; one whose
// text depends on a later line (a set, an exit, an end line, an end-of-file mark) comes after
// the findings of the line that decides it.
class script_checker {
  public:
    explicit script_checker(finding_sink report);
    // One line, without its line end.
    void check_line(std::string_view line);
    // The end of the script.
    void finish();
    // Findings of `rule` are not reported, in the whole script.
    void silence(std::string_view rule) { silencing_.silence_everywhere(rule); }

  private:
    void check_logical_line(bool dangling);
    std::size_t line_at(std::size_t at) const;
    finding place(std::size_t at, message_id message, std::uint64_t other_line) const;
    void found_at(std::size_t at, message_id message, std::string_view subject);
    void report_decided();
    void read_variable(std::string_view name);
    void learn_sets();
    void follow_goto(const line_shape &shape);
    void end_skipped();
    void read_directives(bool has_command);
    void deliver(const finding &f);

    finding_sink report_;
    std::uint64_t lines_ = 0;
    bool byte_order_mark_ = false; // the script starts with one, which the lexer does not see
    logical_line logical_;
    batch_lexer lexer_;
    byte_rules bytes_;
    block_rules blocks_;
    variables variables_;
    silencing silencing_;
    std::vector<std::string> silence_next_; // the rules a directive silences on the next line
    bool command_seen_ = false;             // directives before it hold for the whole script
    std::optional<finding> exit_, batch_;   // an exit, a batch file started without call
    // Whether any name may be set by now: until then, a read of one the script did not set is
    // of a variable nothing set.
    bool any_set_ = false;
    // The lines after a goto that always runs, up to a label: the goto's, and the first and
    // the last of them with a command.
    std::uint64_t goto_line_ = 0, skipped_first_ = 0, skipped_last_ = 0;
    // The logical line under way: its text, where its lines start, the number of its first,
    // and the line that reads a variable now.
    std::string_view text_;
    const std::vector<std::size_t> *starts_ = nullptr;
    std::uint64_t first_line_ = 0, reading_line_ = 0;
    std::size_t text_offset_ = 0; // of the line whose text is scanned
    // Made once: where the rules hand their findings and the variables they read.
    text_finding command_found_, text_found_;
    variable_read read_;
    command_visitor visit_;
    std::uint64_t first_command_line_ = 0;
    // The logical line's, kept from one line to the next for their room.
    std::vector<std::string_view> lines_of_;
    std::vector<finding> found_, sets_, decided_;
    command_effects effects_;
};
