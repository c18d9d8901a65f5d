// What the flattener knows of the script's variables and folder at a point of it: the values
// the script gave, the variables it removed, the folder commands it ran, and what setlocal saved
// of all that. A value may hold %NAME% of a variable the script never changes, which a command
// line expands to what the batch file would have.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using span = std::pair<std::size_t, std::size_t>;

// Text as a line of the program will hold it, and where in it a %NAME% stands for a variable
// that the script never changes and Windows always sets, which a command line expands as the
// batch file did. Every other % in it is the character itself.
struct flat_text {
    std::string text;
    std::vector<span> kept;

    void append(const flat_text &more);
    void append(std::string_view more) { text.append(more); }
};

class environment {
  public:
    // The variable's value where the script gave it one or removed it (nullopt inside), or
    // nothing where the script has not changed it.
    std::optional<std::optional<flat_text>> find(std::string_view name) const;
    void set(std::string_view name, std::optional<flat_text> value);

    // The folder commands run so far, to run again in front of each line. `shown`: whether a
    // line that ran it has shown what it says where it fails.
    bool folder_changed() const { return !folders_.empty(); }
    void run_folder_command(flat_text command, bool shown) {
        prefix_size_ += command.text.size() + std::string_view(" 2>nul&").size();
        folders_.push_back({std::move(command), shown});
    }

    // What a line needs in front of it to run where the script left off: set "NAME=value"&
    // for each variable changed, then the folder commands, each followed by &, those that have
    // shown their messages once with them sent to nul. Those are all shown after it.
    flat_text prefix();
    // Its length, known without making it.
    std::size_t prefix_size() const { return prefix_size_; }

    void setlocal() { saved_.push_back({changed_, folders_}); }
    void endlocal();
    bool local() const { return !saved_.empty(); }

  private:
    struct change {
        std::string name;               // as the script first wrote it
        std::optional<flat_text> value; // nullopt: removed
    };
    struct folder_command {
        flat_text command;
        bool shown;
    };
    struct state {
        std::vector<change> changed;
        std::vector<folder_command> folders;
    };
    std::vector<change> changed_; // in the order of the first change of each
    std::vector<folder_command> folders_;
    std::vector<state> saved_;
    std::size_t prefix_size_ = 0;
    void count_prefix();
};
