#pragma once

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

} // namespace refserver
