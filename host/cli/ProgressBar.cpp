#include "ProgressBar.h"

#include <algorithm>
#include <string>

namespace host {

namespace {

constexpr int kWidth = 40;

} // namespace

ProgressBar::~ProgressBar() {
    if (shown_ >= 0) {
        std::fputc('\n', stream_);
    }
}

void ProgressBar::update(std::int32_t done, std::int32_t total) {
    if (total <= 0) {
        return;
    }
    const int percent =
        static_cast<int>(std::clamp<std::int64_t>(std::int64_t{done} * 100 / total, 0, 100));
    if (percent == shown_) {
        return;
    }
    shown_ = percent;
    const int filled = percent * kWidth / 100;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kWidth - filled), '.');
    std::fprintf(stream_, "\r[%s] %3d%%", bar.c_str(), percent);
    std::fflush(stream_);
}

} // namespace host
