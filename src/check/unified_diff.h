// A script and what --flatten makes of it as a unified diff, which patch -p0 and git apply
// take.
#pragma once

#include "check/report.h"

#include <string>
#include <string_view>
#include <vector>

// `lines` and `ends`: the script's lines and the line end of each; `rewrites`: what --flatten
// makes of them, in order, each line in one. Empty where nothing changes.
std::string unified_diff(std::string_view file, const std::vector<std::string> &lines,
                         const std::vector<std::string> &ends,
                         const std::vector<rewrite> &rewrites);
