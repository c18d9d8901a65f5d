// The lines of a script gathered into logical lines, as cmd reads them: a line that ends in a ^
// join takes the next line with it. Each join is kept in the text as the ^ and a line feed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class logical_line {
  public:
    // `expanded`: the lines' % forms are expanded already.
    explicit logical_line(bool expanded = false) : expanded_(expanded) {}
    // Takes the script's next line, without its line end; true where that completes a logical
    // line, which text() then holds until the next call.
    bool add(std::string_view line);
    // At the end of the script: true where a last line joined nothing, and text() holds it.
    bool finish();
    std::string_view text() const { return text_; }
    // Where each of its lines starts in text(), the first at 0.
    const std::vector<std::size_t> &starts() const { return starts_; }

  private:
    std::string joined_;
    std::string_view text_;
    std::vector<std::size_t> starts_{0};
    bool expanded_;
    bool joining_ = false;
};
