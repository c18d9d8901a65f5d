// The sets whose value does not reach the lines after them, each waiting for the line that
// decides its message: the first that reads the variable, or sets it again, or the script's end;
// and which names the script set before a line, or was told it read unset. Memory holds the
// names the script sets and those it reads unset.
#pragma once

#include "check/rules.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class variables {
  public:
    // What the script did with a name so far.
    struct name_state {
        std::vector<finding> waiting; // its sets whose message a later line decides
        bool set = false;             // a line before set it, or Windows always does
        bool told_unset = false;      // a read of it unset was named
    };
    // A line reads `name`: the sets waiting for it are decided. With `look_up`, returns what
    // the script did with it so far (made where it was nothing); else null.
    name_state *read(std::string_view name, std::uint64_t line, std::vector<finding> &decided,
                     bool look_up);
    // The sets of one line, which waits for no other: a set that the same line makes again is
    // one of two branches, and both wait. Sets of the name still waiting are decided. A set
    // given as variable_used has commands after it on its line: only a read decides it.
    void set(std::vector<finding> &sets, std::vector<finding> &decided);
    // A name a line may have set, whose use is not followed (set /a's).
    void learn(std::string_view name);
    // The end of the script: no line reads what is still waiting.
    void finish(std::vector<finding> &decided);

  private:
    void decide(name_state &state, message_id message, std::uint64_t line,
                std::vector<finding> &decided);
    // By the variable's name in small letters: cmd's names have no case.
    std::unordered_map<std::string, name_state> names_;
    std::size_t waiting_ = 0; // names with sets waiting
    std::string key_;         // room for the name being looked up
};
