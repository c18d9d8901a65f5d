// The dialogue's real surroundings, for the program and for the benchmark's copy of it.
#pragma once

#include "converter.h"

// Standard input, the console and its key wait, the system's files. Makes sure the standard
// streams are open first.
dialogue_io standard_io();
