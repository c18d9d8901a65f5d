// Findings a user has judged and silenced: by a directive in the script,
//   rem norvane-check disable=RULE[,RULE...]   (also @rem and ::)
// on the line before a line, or before the script's first command for the whole file; or by
// name on the command line. Silencing hides findings and changes nothing in what a line does.
#pragma once

#include "check/rules.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A directive in `line`, where it is one: whether it is, and the rules it names, each with
// its offset in `line`.
struct directive {
    bool found = false;
    std::vector<std::pair<std::size_t, std::string_view>> rules;
};
directive read_directive(std::string_view line);

// The rules of RULE[,RULE...], each with its offset in `list`.
std::vector<std::pair<std::size_t, std::string_view>> rule_list(std::string_view list);

class silencing {
  public:
    // Every finding of `rule`, in the whole script.
    void silence_everywhere(std::string_view rule) { everywhere_.emplace_back(rule); }
    // The findings of `rule` on line `line`.
    void silence_line(std::uint64_t line, std::string_view rule);
    bool silenced(const finding &f) const;

  private:
    std::vector<std::string> everywhere_;
    std::unordered_map<std::uint64_t, std::vector<std::string>> lines_;
};
