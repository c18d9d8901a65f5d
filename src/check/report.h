// The findings as standard output shows them: gcc's form with the line, a caret and the fix
// under each (tty), one a line in the form compilers write, which editors and CI logs read
// (gcc), one JSON array (json), or one SARIF log for code scanning (sarif).
#pragma once

#include "check/rules.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class report_format { tty, gcc, json, sarif };

// What --flatten makes of the script's lines first to last: one line, or none.
struct rewrite {
    std::uint64_t first, last;
    std::optional<std::string> text;
    std::string line_end;
};

// A script as the forms that show its lines read it: its lines without their ends, and the
// rewrites of them, in order, where --flatten can rewrite it (else null).
struct script_view {
    const std::vector<std::string> &lines;
    const std::vector<rewrite> *rewrites;
};

class report_writer {
  public:
    report_writer(std::FILE *out, report_format format, bool colour = false)
        : out_(out), format_(format), colour_(colour) {}
    // Whether the form shows the script's lines: then end_file hands them over.
    bool shows_lines() const {
        return format_ == report_format::tty || format_ == report_format::sarif;
    }
    void add(std::string_view file, const finding &f);
    // The end of a script's findings, and what the form shows of its lines.
    void end_file(std::string_view file, const script_view &script);
    // Ends the report (the JSON array, the SARIF log); whether all of it was written.
    bool close();

  private:
    void write();

    std::FILE *out_;
    report_format format_;
    bool colour_;
    bool any_ = false;
    std::vector<finding> held_; // a script's findings, until its lines are handed over
    std::string line_;          // the text of one finding, its room kept from one to the next
};

// FILE:LINE:COLUMN: SEVERITY: MESSAGE [RULE], with a line end; in colour where asked.
void append_gcc_line(std::string &out, std::string_view file, const finding &f, bool colour);

// A finding as the tty form shows it: its gcc line, the script's line, the caret, the fix.
void append_tty(std::string &out, std::string_view file, const finding &f,
                const script_view &script, bool colour);

// The rewrite whose lines hold `line`, where one changes it; or null.
const rewrite *rewrite_of(const script_view &script, std::uint64_t line);

// SARIF: the log's start, up to its results, and its end; one result.
void append_sarif_start(std::string &out);
void append_sarif_end(std::string &out);
void append_sarif_result(std::string &out, std::string_view file, const finding &f,
                         const script_view &script);

// The length of the UTF-8 sequence that starts `text`, not empty, or 0 where it is none.
std::size_t utf8_length(std::string_view text);

// Appends `text` as a JSON string, quotes included: each byte that is no part of UTF-8 as the
// letter of Latin-1 it would be.
void append_json(std::string &out, std::string_view text);
