#pragma once

#include <cstdint>
#include <cstdio>

namespace host {

// A one-line progress bar on a terminal stream, fed by the plug-in's
// progress calls; redrawn only when the shown percentage changes.
class ProgressBar {
public:
    explicit ProgressBar(std::FILE* stream) : stream_(stream) {}
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(std::int32_t done, std::int32_t total);

private:
    std::FILE* stream_;
    int shown_ = -1;
};

} // namespace host
