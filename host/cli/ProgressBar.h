#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace host::cli {

// A one-line progress bar redrawn in place on a terminal, fed by the
// plug-in's progress calls; redrawn only when what it shows changes. Made
// only for a terminal: anywhere else every redraw would pile up in the log.
class ProgressBar {
public:
    explicit ProgressBar(std::FILE* stream) : stream_(stream) {}
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(std::int64_t done, std::int64_t total);
    // A text after the percentage (a batch shows which file it is on).
    void setLabel(const std::string& label);
    // Blanks the bar's line so that a message can take it; the next update
    // draws the bar again below the message.
    void clear();

private:
    void draw();

    std::FILE* stream_;
    int percent_ = 0;
    std::string label_;
    std::string shown_;
};

} // namespace host::cli
