// The text of the generated C program: fixed fragments and the three writers.
#pragma once

#include <ostream>
#include <string_view>

extern const char header[300];
extern const char incs[200];
extern const char end[50];

void write_opening(std::ostream &fp);
void write_command(std::ostream &fp, std::string_view cmd);
void write_closing(std::ostream &fp);
