#include "ProgressBar.h"

#include <algorithm>

namespace host::cli {

namespace {

constexpr int kWidth = 40;

} // namespace

ProgressBar::~ProgressBar() {
    if (!shown_.empty()) {
        std::fputc('\n', stream_);
    }
}

void ProgressBar::update(std::int64_t done, std::int64_t total) {
    if (total <= 0) {
        return;
    }
    percent_ = static_cast<int>(std::clamp<std::int64_t>(done * 100 / total, 0, 100));
    draw();
}

void ProgressBar::setLabel(const std::string& label) {
    label_ = label;
    draw();
}

void ProgressBar::clear() {
    if (!shown_.empty()) {
        std::fprintf(stream_, "\r%*s\r", static_cast<int>(shown_.size()), "");
        std::fflush(stream_);
        shown_.clear();
    }
}

void ProgressBar::draw() {
    const int filled = percent_ * kWidth / 100;
    std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kWidth - filled), '.') + "] ";
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", percent_);
    line += percent;
    if (!label_.empty()) {
        line += "  " + label_;
    }
    if (line == shown_) {
        return;
    }
    // Pad over the rest of a longer line shown before.
    const int padding =
        std::max(0, static_cast<int>(shown_.size()) - static_cast<int>(line.size()));
    std::fprintf(stream_, "\r%s%*s", line.c_str(), padding, "");
    std::fflush(stream_);
    shown_ = line;
}

} // namespace host::cli
