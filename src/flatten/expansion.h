// A line's % forms as a batch file expands them, with what the flattener knows; and whether a
// command line, which reads % forms by other rules, reads the result alike.
#pragma once

#include "check/rules.h"
#include "flatten/environment.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct expansion_input {
    const environment &env;
    bool shifted;                 // %0 is an argument now, and empty
    std::string_view script_path; // empty where none was given
};

// Something that keeps a line from being flattened, where it stands in the line and in the
// expanded text.
struct expansion_problem {
    std::size_t source_at, text_at;
    message_id message;
    std::string subject;
};

struct expanded_line {
    flat_text text; // %NAME% and %NAME:...% of an unchanged variable are kept
    std::vector<expansion_problem> problems;

    // Where in the line a byte of the text comes from.
    std::size_t source_of(std::size_t text_at) const;

    struct mark {
        std::size_t source_at, text_at;
        bool form; // where a form starts, else where the text after one starts
    };
    std::vector<mark> marks;
};

void expand_line(std::string_view line, const expansion_input &in, expanded_line &out);

// Where a command line would read a % of `text` as the start of a variable the batch file did
// not read: the offset of that %, or nowhere. Text between two % that holds a blank, or none,
// is taken as no variable's name; `kept` are expanded alike.
std::size_t read_otherwise(const flat_text &text);

// Whether a % stands in `text` other than in a kept variable.
bool holds_percent(const flat_text &text);

// What cmd makes of VALUE:~a,b and VALUE:old=new (`edit` is what follows the colon), or false
// where it cannot be worked out here.
bool edit_value(const flat_text &value, std::string_view edit, std::string &result);
