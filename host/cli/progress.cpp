#include "host/cli/progress.h"

#include <cstdio>

#include <unistd.h>

namespace cli {

Progress::Progress(std::int64_t total, std::int64_t minimum, bool enabled)
    : total_(total), shown_(enabled && total > 0 && total >= minimum && isatty(STDERR_FILENO)) {}

Progress::~Progress() {
    if (shown_ && lastPercent_ >= 0) std::fprintf(stderr, "\r%60s\r", "");
}

void Progress::Update(std::int64_t done) {
    if (!shown_) return;
    const int percent = static_cast<int>(done >= total_ ? 100 : done * 100 / total_);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    constexpr int width = 40;
    char bar[width + 1];
    for (int k = 0; k < width; ++k) bar[k] = k < percent * width / 100 ? '#' : '.';
    bar[width] = '\0';
    std::fprintf(stderr, "\rrendering [%s] %3d%%", bar, percent);
    std::fflush(stderr);
}

} // namespace cli
