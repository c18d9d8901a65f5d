#include "batch/cursor.h"

#include "batch/percent.h"

std::size_t cursor::past_percent_form() const {
    return percent_at(text_, at_).end;
}
