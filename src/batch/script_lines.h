// A script's lines as norvane takes them: split at line feeds, a carriage return dropped right
// before a line feed and at the very end; any length, any bytes.
#pragma once

#include <cstdio>
#include <functional>
#include <string_view>

// Hands each line of `in`, without its line end, to `line`. False where reading failed, with
// errno telling why; std::bad_alloc where a line is longer than memory holds.
bool read_lines(std::FILE *in, const std::function<void(std::string_view)> &line);

// The same, with the line end each line had: "\r\n", "\n", or none at the very end.
bool read_lines(std::FILE *in,
                const std::function<void(std::string_view line, std::string_view end)> &line);
