#include "check/variables.h"

#include "batch/text.h"

namespace {

void to_key(std::string_view name, std::string &key) {
    key.assign(name);
    for (char &c : key)
        c = small_letter(c);
}

} // namespace

void variables::decide(name_state &state, message_id message, std::uint64_t line,
                       std::vector<finding> &decided) {
    if (state.waiting.empty()) return;
    for (finding &set : state.waiting) {
        if (set.message == message_id::variable_used && message != message_id::variable_used)
            continue; // a set followed on its line: it gave its value there
        set.message = message;
        set.other_line = line;
        decided.push_back(std::move(set));
    }
    state.waiting.clear();
    --waiting_;
}

variables::name_state *variables::read(std::string_view name, std::uint64_t line,
                                       std::vector<finding> &decided, bool look_up) {
    if ((waiting_ == 0 && !look_up) || name.empty()) return nullptr;
    to_key(name, key_);
    if (!look_up) {
        const auto found = names_.find(key_);
        if (found != names_.end()) decide(found->second, message_id::variable_used, line, decided);
        return nullptr;
    }
    name_state &state = names_[key_];
    decide(state, message_id::variable_used, line, decided);
    return &state;
}

void variables::set(std::vector<finding> &sets, std::vector<finding> &decided) {
    for (const finding &set : sets) {
        to_key(set.subject, key_);
        const auto found = names_.find(key_);
        if (found != names_.end())
            decide(found->second, message_id::variable_set_again, set.line, decided);
    }
    for (finding &set : sets) {
        to_key(set.subject, key_);
        name_state &state = names_[key_];
        state.set = true;
        if (state.waiting.empty()) ++waiting_;
        state.waiting.push_back(std::move(set));
    }
    sets.clear();
}

void variables::learn(std::string_view name) {
    to_key(name, key_);
    names_[key_].set = true;
}

void variables::finish(std::vector<finding> &decided) {
    for (auto &[name, state] : names_)
        for (finding &set : state.waiting)
            if (set.message != message_id::variable_used) decided.push_back(std::move(set));
    names_.clear();
    waiting_ = 0;
}
