// Blocks over several lines, and lines joined with ^: in the program each line runs alone.
#pragma once

#include "batch/lexer.h"
#include "check/rules.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

// Where an offset into a logical line stands in the script: its line and column.
using place_of = std::function<finding(std::size_t at, message_id, std::uint64_t other_line)>;

class block_rules {
  public:
    // `lines`: each line of the logical line `text`, from its start to its end; `dangling`:
    // whether the last one ends in a ^ that the script's end leaves joining nothing.
    void check(std::string_view text, const std::vector<std::string_view> &lines,
               std::uint64_t first_line, const line_shape &shape, bool dangling,
               const place_of &place, std::vector<finding> &found);

  private:
    std::uint64_t block_line_ = 0; // where the outermost open block opened
};
