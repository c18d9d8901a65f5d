// What differs between Windows and POSIX for norvane-check: standard input read as bytes.
#pragma once

#include <cstdio>

// Standard input as the bytes of a script: on Windows not in text mode, which would turn CR LF
// into LF and end the input at a Ctrl-Z, both of which the check must see.
std::FILE *standard_input_as_bytes();
