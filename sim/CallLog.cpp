#include "CallLog.h"

namespace zorvane::sim {

void CallLog::Add(const char* name, const std::string& arguments) {
    lines_.push_back(std::string(name) + "(" + arguments + ")");
    if (lines_.size() > kMaxLines) lines_.pop_front();
    ++counts_[name];
}

std::string CallLog::Text() const {
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += '\n';
    }
    return text;
}

int CallLog::Count(const std::string& name) const {
    const auto it = counts_.find(name);
    return it == counts_.end() ? 0 : it->second;
}

void CallLog::Clear() {
    lines_.clear();
    counts_.clear();
}

}  // namespace zorvane::sim
