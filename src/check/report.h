// The findings as standard output shows them: one a line in the form compilers write, which
// editors and CI logs read, or one JSON array.
#pragma once

#include "check/rules.h"

#include <cstdio>
#include <string>
#include <string_view>

enum class report_format { gcc, json };

class report_writer {
  public:
    report_writer(std::FILE *out, report_format format) : out_(out), format_(format) {}
    void add(std::string_view file, const finding &f);
    // Ends the report (the JSON array); whether all of it was written.
    bool close();

  private:
    std::FILE *out_;
    report_format format_;
    bool any_ = false;
    std::string line_; // the text of one finding, its room kept from one to the next
};

// Appends `text` as a JSON string, quotes included: each byte that is no part of UTF-8 as the
// letter of Latin-1 it would be.
void append_json(std::string &out, std::string_view text);
