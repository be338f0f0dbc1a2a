#pragma once

#include "proxy/Messages.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

namespace refserver {

// One line per event of a session, so that tests and people can see what the
// server received and did without a screen. Written to a file (appended, each
// line flushed at once so that a server that dies leaves a complete log), to
// standard error ("-"), or nowhere (empty path).
class SessionLog {
public:
    explicit SessionLog(const std::string& path);

    void write(const std::string& line);

private:
    bool toStandardError_ = false;
    std::ofstream file_;
};

// The records' values as log lines show them.
std::string rectText(const WireRect& rect);                   // "left,top,right,bottom"
std::string colourText(const std::uint16_t (&components)[4]); // "c0,c1,c2,c3"
// FNV-1a, so that a log line can show which bytes a buffer held.
std::uint32_t checksum(const unsigned char* bytes, std::size_t count);

} // namespace refserver
