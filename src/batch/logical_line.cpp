#include "batch/logical_line.h"

#include "batch/lexer.h"

bool logical_line::add(std::string_view line) {
    const bool first = !joining_;
    joining_ = join_at(line, first, expanded_) != nowhere;
    if (first) {
        starts_.assign(1, 0);
        if (!joining_) { // most lines join nothing: no copy
            text_ = line;
            return true;
        }
        joined_.assign(line);
    } else {
        joined_ += '\n';
        starts_.push_back(joined_.size());
        joined_.append(line);
    }
    text_ = joined_;
    return !joining_;
}

bool logical_line::finish() {
    if (!joining_) return false;
    joining_ = false;
    text_ = joined_;
    return true;
}
