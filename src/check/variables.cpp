#include "check/variables.h"

#include "batch/text.h"

namespace {

void to_key(std::string_view name, std::string &key) {
    key.assign(name);
    for (char &c : key)
        c = small_letter(c);
}

} // namespace

void variables::decide(const std::string &key, message_id message, std::uint64_t line,
                       std::vector<finding> &decided) {
    const auto waiting = waiting_.find(key);
    if (waiting == waiting_.end()) return;
    for (finding &set : waiting->second) {
        if (set.message == message_id::variable_used && message != message_id::variable_used)
            continue; // a set followed on its line: it gave its value there
        set.message = message;
        set.other_line = line;
        decided.push_back(std::move(set));
    }
    waiting_.erase(waiting);
}

void variables::read(std::string_view name, std::uint64_t line, std::vector<finding> &decided) {
    if (waiting_.empty() || name.empty()) return;
    to_key(name, key_);
    decide(key_, message_id::variable_used, line, decided);
}

void variables::set(std::vector<finding> &sets, std::vector<finding> &decided) {
    for (const finding &set : sets) {
        to_key(set.subject, key_);
        decide(key_, message_id::variable_set_again, set.line, decided);
    }
    for (finding &set : sets) {
        to_key(set.subject, key_);
        waiting_[key_].push_back(std::move(set));
    }
    sets.clear();
}

void variables::finish(std::vector<finding> &decided) {
    for (auto &[name, sets] : waiting_)
        for (finding &set : sets)
            if (set.message != message_id::variable_used) decided.push_back(std::move(set));
    waiting_.clear();
}
