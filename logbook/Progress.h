#pragma once
// Progress of long work on stderr, only when stderr is a terminal: a line rewritten in
// place, cleared when the work is done.
#include <cstdint>
#include <string>

namespace wtlog {

class Progress {
public:
    // total 0: unknown, the count alone is shown.
    Progress(std::string label, std::uint64_t total, const char* unit);
    ~Progress();
    void update(std::uint64_t done);

private:
    std::string label_;
    std::uint64_t total_;
    const char* unit_;
    bool shown_;
    int lastPercent_ = -1;
    std::uint64_t lastDone_ = 0;
};

} // namespace wtlog
