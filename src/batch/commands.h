// The words of the commands whose effect a later line depends on, as cmd reads them: set and
// the folder commands. Each takes a command's text from its name up to its end and returns
// spans of it; none judges what it finds.
#pragma once

#include <string_view>

struct set_command {
    enum { shows, assigns, arithmetic, prompts, wrong } form;
    // assigns, prompts: the variable; arithmetic: the first one the expression assigns, if any
    std::string_view name;
    // assigns: the value as written, up to the last quote of the "NAME=value" form; arithmetic:
    // the expression; prompts: the prompt
    std::string_view value;
    bool quoted; // set "NAME=value"
};

// Whether `name`, a command's name without its quotes, is a batch file's: NAME.bat or NAME.cmd.
bool names_batch_file(std::string_view name);

// `text` starts with the word set.
set_command parse_set(std::string_view text);

struct folder_command {
    enum { none, shows, changes, pushes, pops, drive } form;
    bool with_drive;         // cd /d
    std::string_view target; // the folder, blanks after it left out, or the drive, D:
};

// cd, chdir, pushd, popd and a drive's name, D:; `none` for any other command.
folder_command parse_folder(std::string_view text);
