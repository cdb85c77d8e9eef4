#include "host/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace vsthost {

constexpr int kBarWidth = 40;

Progress::Progress(std::string label, int64_t total, bool quiet)
    : label_(std::move(label)), total_(total), enabled_(!quiet && total > 0 && isatty(STDERR_FILENO)) {}

Progress::~Progress() {
    if (enabled_ && shown_ >= 0) std::fprintf(stderr, "\r\033[K");
}

void Progress::update(int64_t done) {
    if (!enabled_) return;
    const int percent = static_cast<int>(std::clamp<int64_t>(done * 100 / total_, 0, 100));
    if (percent == shown_) return;
    shown_ = percent;
    const int filled = percent * kBarWidth / 100;
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_.c_str(), filled,
                 "########################################", kBarWidth - filled, "", percent);
    std::fflush(stderr);
}

}  // namespace vsthost
