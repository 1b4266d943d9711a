// A one-line progress bar on standard error, shown only on a terminal.
#pragma once

#include <cstdint>

namespace cli {

class Progress {
public:
    // Shown when enabled, stderr is a terminal and the work is at least minimum long.
    Progress(std::int64_t total, std::int64_t minimum, bool enabled = true);
    ~Progress();
    void Update(std::int64_t done);

private:
    std::int64_t total_;
    bool shown_;
    int lastPercent_ = -1;
};

} // namespace cli
