#include "flatten/environment.h"

#include "batch/text.h"

void flat_text::append(const flat_text &more) {
    for (const auto &[from, to] : more.kept)
        kept.emplace_back(text.size() + from, text.size() + to);
    text.append(more.text);
}

std::optional<std::optional<flat_text>> environment::find(std::string_view name) const {
    for (const change &c : changed_)
        if (same_name(c.name, name)) return c.value;
    return std::nullopt;
}

void environment::set(std::string_view name, std::optional<flat_text> value) {
    const auto size = [](const std::optional<flat_text> &v) { return v ? v->text.size() : 0; };
    for (change &c : changed_) {
        if (same_name(c.name, name)) {
            prefix_size_ += size(value) - size(c.value);
            c.value = std::move(value);
            return;
        }
    }
    prefix_size_ += std::string_view("set \"=\"&").size() + name.size() + size(value);
    changed_.push_back({std::string(name), std::move(value)});
}

void environment::count_prefix() {
    prefix_size_ = 0;
    for (const change &c : changed_)
        prefix_size_ += std::string_view("set \"=\"&").size() + c.name.size() +
                        (c.value ? c.value->text.size() : 0);
    for (const folder_command &folder : folders_)
        prefix_size_ += folder.command.text.size() + std::string_view(" 2>nul&").size();
}

flat_text environment::prefix() {
    flat_text prefix;
    for (const change &c : changed_) {
        prefix.append("set \"");
        prefix.append(c.name);
        prefix.append("=");
        if (c.value) prefix.append(*c.value);
        prefix.append("\"&");
    }
    for (folder_command &folder : folders_) {
        prefix.append(folder.command);
        prefix.append(folder.shown ? " 2>nul&" : "&");
        folder.shown = true;
    }
    return prefix;
}

void environment::endlocal() {
    if (saved_.empty()) return; // as in a batch file: nothing to end
    changed_ = std::move(saved_.back().changed);
    folders_ = std::move(saved_.back().folders);
    saved_.pop_back();
    count_prefix();
}
