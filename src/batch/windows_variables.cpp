#include "batch/windows_variables.h"

#include "batch/text.h"

#include <algorithm>
#include <iterator>

namespace {

// Whether `name`, in any case, is one of `names`, in small letters.
template <std::size_t count>
bool in_names(std::string_view name, const std::string_view (&names)[count]) {
    // Most names differ in length, which same_any_case looks at first.
    return std::any_of(std::begin(names), std::end(names),
                       [&](std::string_view n) { return same_any_case(name, n); });
}

} // namespace

bool always_set(std::string_view name) {
    // Those Windows gives every process of a user that logged on; the dynamic ones that read
    // alike at any moment in both; not CD, ERRORLEVEL or CMDCMDLINE, which do not.
    static constexpr std::string_view names[] = {
        "allusersprofile",
        "appdata",
        "cmdextversion",
        "commonprogramfiles",
        "computername",
        "comspec",
        "date",
        "homedrive",
        "homepath",
        "localappdata",
        "number_of_processors",
        "os",
        "path",
        "pathext",
        "processor_architecture",
        "processor_identifier",
        "processor_level",
        "processor_revision",
        "programdata",
        "programfiles",
        "public",
        "random",
        "systemdrive",
        "systemroot",
        "temp",
        "time",
        "tmp",
        "username",
        "userprofile",
        "windir",
    };
    return in_names(name, names);
}

bool dynamic_variable(std::string_view name) {
    static constexpr std::string_view names[] = {
        // sorted
        "__appdir__",    "__cd__", "cd",         "cmdcmdline",
        "cmdextversion", "date",   "errorlevel", "highestnumanodenumber",
        "random",        "time",
    };
    return in_names(name, names);
}
