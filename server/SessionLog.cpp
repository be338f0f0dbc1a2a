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

} // namespace refserver
