// The text of the generated C program: its fixed fragments and the writers, which append to
// `text`, the generated source on its way to the output file.
#pragma once

#include <string>
#include <string_view>

extern const char header[300];
extern const char incs[200];
extern const char end[50];

void write_opening(std::string &text);

// Writes one `system` call line for each line of `lines`: one line, or several separated by
// line ends (a line feed, or a carriage return and a line feed), so that a long script is
// converted in one pass. Empty `lines` is one empty command.
void write_commands(std::string &text, std::string_view lines);

void write_closing(std::string &text);
