#include "batch/windows_variables.h"

#include "batch/text.h"

#include <algorithm>
#include <iterator>

bool always_set(std::string_view name) {
    // Those Windows gives every process of a user that logged on; the dynamic ones that read
    // alike at any moment in both; not CD, ERRORLEVEL or CMDCMDLINE, which do not.
    static constexpr std::string_view names[] = {
        "allusersprofile",
        "appdata",
        "commonprogramfiles",
        "computername",
        "comspec",
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
        "systemdrive",
        "systemroot",
        "temp",
        "tmp",
        "username",
        "userprofile",
        "windir",
        "date",
        "time",
        "random",
        "cmdextversion",
    };
    return std::any_of(std::begin(names), std::end(names),
                       [&](std::string_view n) { return same_any_case(name, n); });
}

bool dynamic_variable(std::string_view name) {
    static constexpr std::string_view names[] = {
        "cd",   "errorlevel", "cmdcmdline", "__cd__",        "__appdir__", "highestnumanodenumber",
        "date", "time",       "random",     "cmdextversion",
    };
    return std::any_of(std::begin(names), std::end(names),
                       [&](std::string_view n) { return same_any_case(name, n); });
}
