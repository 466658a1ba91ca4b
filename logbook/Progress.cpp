#include "logbook/Progress.h"

#include <unistd.h>

#include <cstdio>

namespace wtlog {

Progress::Progress(std::string label, std::uint64_t total, const char* unit)
    : label_(std::move(label)), total_(total), unit_(unit), shown_(::isatty(STDERR_FILENO) == 1)
{
}

Progress::~Progress()
{
    if (shown_ && (lastPercent_ >= 0 || lastDone_ > 0))
        std::fprintf(stderr, "\r\033[K");
}

void Progress::update(std::uint64_t done)
{
    if (!shown_)
        return;
    if (total_ > 0) {
        const int percent = static_cast<int>(done * 100 / total_);
        if (percent == lastPercent_)
            return;
        lastPercent_ = percent;
        std::fprintf(stderr, "\r%s: %d%%", label_.c_str(), percent);
    } else {
        lastDone_ = done;
        std::fprintf(stderr, "\r%s: %llu %s", label_.c_str(), static_cast<unsigned long long>(done), unit_);
    }
    std::fflush(stderr);
}

} // namespace wtlog
