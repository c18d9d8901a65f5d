// A batch script rewritten into lines that each run alone through system(), as norvane's
// program runs them, and together do what the batch file does when `cmd /c FILE` runs it from
// the same folder: or refused, line by line, where that cannot be shown exact.
//
// It reads a statement at a time (a line, the lines ^ joins to it, a block's lines), expanded
// as a batch file expands it with what the script set before; learns what the statement leaves
// for the lines after it (the values set, the folder, setlocal, echo); and writes it as one line
// with what it needs in front: set "NAME=value"& for each variable the script changed, and the
// folder commands so far. A statement that only sets, or does nothing, is dropped. One that
// tests errorlevel first is joined onto the line it tests.
#pragma once

#include "batch/lexer.h"
#include "batch/logical_line.h"
#include "check/rules.h"
#include "flatten/environment.h"
#include "flatten/expansion.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct flatten_options {
    std::string script_path; // for %~dp0 and its kin; empty where none was given
};

class flattener {
  public:
    // `write`: a line of the flattened script and the line end the script had there;
    // `refuse`: why a line cannot be flattened, as a finding.
    using line_sink = std::function<void(std::string_view text, std::string_view line_end)>;
    using refusal_sink = std::function<void(const finding &)>;

    flattener(flatten_options options, line_sink write, refusal_sink refuse);
    // `rewrite`: for each line written, the script's lines it takes the place of, first to
    // last, from the line after those the line before took; null text for lines dropped at the
    // end. Each line of the script is in one.
    using rewrite_sink = std::function<void(std::uint64_t first, std::uint64_t last,
                                            const std::string *text, std::string_view line_end)>;
    void on_rewrite(rewrite_sink rewrite) { rewrite_ = std::move(rewrite); }
    // One line of the script, without its line end, and that line end ("\n", "\r\n" or none).
    void add_line(std::string_view line, std::string_view line_end);
    void finish();

  private:
    struct source_line {
        std::uint64_t number;
        std::string line_end;
        expanded_line expanded;
    };
    // A piece of the joined line, and where it came from.
    struct piece {
        std::size_t at;   // in the joined line
        std::size_t line; // of the statement's lines
        std::size_t from; // in that line's expanded text
    };
    // A written line that a test of errorlevel may still be joined onto.
    struct held_line {
        flat_text text;
        std::string line_end;
        std::uint64_t number, last; // its first line and last line of the script
        bool ends_in_if_or_for;     // an if or a for at its top, whose command &if would join
    };

    void end_statement();
    void refuse(std::uint64_t line, std::size_t column, message_id message,
                std::string_view subject = {});
    void refuse_at(std::size_t joined_at, message_id message, std::string_view subject = {});
    void write_held();
    void clear_statement();
    void check_written(const flat_text &line, std::size_t prefix_size, bool joined_on,
                       std::uint64_t first_line, std::uint64_t refusals_before,
                       bool stands_if_last);

    flatten_options options_;
    line_sink write_;
    refusal_sink refuse_;
    rewrite_sink rewrite_;
    std::uint64_t written_through_ = 0; // the last line of the script a written line took

    environment env_;
    bool echo_off_ = false, delayed_ = false, shifted_ = false;
    bool echo_refused_ = false, carried_refused_ = false; // named once each
    std::vector<bool> saved_delayed_;                     // by setlocal
    std::string line_end_; // the script's own, for a last line that has none

    // The statement under way.
    std::vector<source_line> lines_;
    logical_line logical_{true};
    batch_lexer statement_lexer_{true};
    std::vector<std::vector<std::size_t>> logical_lines_; // its lines, by logical line
    std::vector<line_shape> shapes_;
    std::vector<bool> set_after_;             // whether a for's set is open after each logical line
    std::vector<command> first_commands_;     // of the first logical line, as its lexer gave them
    bool closing_ = false;                    // at the script's end, with a statement under way
    std::uint64_t statement_lexer_depth_ = 0; // the blocks it left open
    std::uint64_t next_number_ = 1;

    // The joined line and its pieces.
    flat_text joined_;
    std::vector<piece> pieces_;

    std::uint64_t refusals_ = 0; // made so far
    std::optional<held_line> held_;
    bool dropped_since_held_ = false;
    // Refusals that stand only if a line is written after them: a set or a change of folder in
    // a branch, an exit, a batch file started without call.
    std::vector<finding> unless_last_;
    // What norvane-check names in the last line written, where it leaves such a refusal.
    std::optional<finding> unclean_if_last_;
};
