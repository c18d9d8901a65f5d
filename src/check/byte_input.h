// What differs between Windows and POSIX for norvane-check: standard input read as bytes,
// standard output written as bytes, and whether standard output shows colour.
#pragma once

#include <cstdio>

// Standard input as the bytes of a script: on Windows not in text mode, which would turn CR LF
// into LF and end the input at a Ctrl-Z, both of which the check must see.
std::FILE *standard_input_as_bytes();

// Standard output written as it is given, for a flattened script, which keeps its own line
// ends: on Windows not in text mode, which would write each LF as CR LF.
void standard_output_as_bytes();

// Whether standard output is a terminal that shows colour: on POSIX one whose TERM is not
// dumb; on Windows a console that takes ANSI colour, which it is asked to until the program
// ends.
bool standard_output_shows_colour();
