// What the bytes of one line of the script do, wherever they stand: as norvane reads them (its
// end line, Ctrl-Z, carriage returns), and as cmd /c runs the line (quotes, length, NUL, code
// page). Once-a-script findings are remembered here.
#pragma once

#include "check/rules.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

class byte_rules {
  public:
    // `line`: the whole line, as norvane reads it; `code`: its part outside comments, from
    // `code_at`. Findings go to `found`; those a later line decides, to `decided`.
    void check(std::uint64_t number, std::string_view line, std::size_t code_at,
               std::string_view code, std::vector<finding> &found, std::vector<finding> &decided);
    // A line that is not blank decides a pending end line and Ctrl-Z.
    void decide(std::string_view line, std::vector<finding> &decided);

  private:
    bool cr_seen_ = false, mark_seen_ = false, end_seen_ = false, high_seen_ = false;
    std::optional<finding> end_line_, mark_;
};

constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
