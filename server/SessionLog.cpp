#include "SessionLog.h"

#include <cstdio>

namespace refserver {

SessionLog::SessionLog(const std::string& path) : toStandardError_(path == "-") {
    if (!path.empty() && !toStandardError_) {
        file_.open(path, std::ios::out | std::ios::app | std::ios::binary);
    }
}

void SessionLog::write(const std::string& line) {
    if (toStandardError_) {
        std::fprintf(stderr, "solvanta-server: %s\n", line.c_str());
        std::fflush(stderr);
    } else if (file_.is_open()) {
        file_ << line << '\n';
        file_.flush();
    }
}

std::string rectText(const WireRect& rect) {
    return std::to_string(rect.left) + ',' + std::to_string(rect.top) + ',' +
           std::to_string(rect.right) + ',' + std::to_string(rect.bottom);
}

std::string colourText(const std::uint16_t (&components)[4]) {
    return std::to_string(components[0]) + ',' + std::to_string(components[1]) + ',' +
           std::to_string(components[2]) + ',' + std::to_string(components[3]);
}

std::uint32_t checksum(const unsigned char* bytes, std::size_t count) {
    std::uint32_t hash = 2166136261U;
    for (std::size_t i = 0; i < count; ++i) {
        hash = (hash ^ bytes[i]) * 16777619U;
    }
    return hash;
}

} // namespace refserver
