#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <string>

namespace zorvane::sim {

// The recent entry-point calls as text lines ("ZorvaneBin(2,2)"), oldest first, and how often
// each entry point was called since the last clear.
class CallLog {
public:
    static constexpr size_t kMaxLines = 4096;

    void Add(const char* name, const std::string& arguments);
    std::string Text() const;
    int Count(const std::string& name) const;
    void Clear();

private:
    std::deque<std::string> lines_;
    std::map<std::string, int> counts_;
};

}  // namespace zorvane::sim
