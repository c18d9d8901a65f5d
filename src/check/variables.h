// The sets whose value does not reach the lines after them, each waiting for the line that
// decides its message: the first that reads the variable, or sets it again, or the script's end.
// Memory holds the names still looked for.
#pragma once

#include "check/rules.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class variables {
  public:
    // A line reads `name`: the sets waiting for it are decided.
    void read(std::string_view name, std::uint64_t line, std::vector<finding> &decided);
    // The sets of one line, which waits for no other: a set that the same line makes again is
    // one of two branches, and both wait. Sets of the name still waiting are decided. A set
    // given as variable_used has commands after it on its line: only a read decides it.
    void set(std::vector<finding> &sets, std::vector<finding> &decided);
    // The end of the script: no line reads what is still waiting.
    void finish(std::vector<finding> &decided);

  private:
    void decide(const std::string &key, message_id message, std::uint64_t line,
                std::vector<finding> &decided);
    // By the variable's name in small letters: cmd's names have no case.
    std::unordered_map<std::string, std::vector<finding>> waiting_;
    std::string key_; // room for the name being looked up
};
