// What differs between Windows and POSIX for norvane-check: standard input read as bytes, and
// standard output written as bytes.
#pragma once

#include <cstdio>

// Standard input as the bytes of a script: on Windows not in text mode, which would turn CR LF
// into LF and end the input at a Ctrl-Z, both of which the check must see.
std::FILE *standard_input_as_bytes();

// Standard output written as it is given, for a flattened script, which keeps its own line
// ends: on Windows not in text mode, which would write each LF as CR LF.
void standard_output_as_bytes();
