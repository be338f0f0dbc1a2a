#include "platform/MessageBox.h"

#include "platform/Environment.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char* kLogVariable = "SOLVANTA_MESSAGE_BOX_LOG";
// A record: this word, the byte lengths of title and text, a newline, then
// both texts as they are and a closing newline. The lengths make any text,
// newlines and all, come back unchanged.
constexpr const char* kRecordWord = "SOLVANTA-MESSAGE-BOX";

bool appendRecord(const std::string& path, const std::string& title, const std::string& text) {
    const std::string record = std::string(kRecordWord) + ' ' + std::to_string(title.size()) + ' ' +
                               std::to_string(text.size()) + '\n' + title + text + '\n';
    const int file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (file < 0) {
        return false;
    }
    // One write: appends of one record never interleave with another's.
    const ssize_t written = ::write(file, record.data(), record.size());
    ::close(file);
    return written == static_cast<ssize_t>(record.size());
}

class PosixMessageBoxWatcher final : public MessageBoxWatcher {
public:
    PosixMessageBoxWatcher() : previous_(environmentVariable(kLogVariable)) {
        char pattern[] = "/tmp/solvanta-message-boxes-XXXXXX";
        const int file = ::mkstemp(pattern);
        if (file >= 0) {
            ::close(file);
            path_ = pattern;
            setEnvironmentVariable(kLogVariable, path_);
        }
    }
    ~PosixMessageBoxWatcher() override {
        setEnvironmentVariable(kLogVariable, previous_);
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }

    std::vector<MessageBoxRecord> take() override {
        std::vector<MessageBoxRecord> boxes;
        std::ifstream file(path_, std::ios::binary);
        if (!file) {
            return boxes;
        }
        std::stringstream buffer;
        buffer << file.rdbuf();
        const std::string log = buffer.str();
        while (consumed_ < log.size()) {
            const std::size_t lineEnd = log.find('\n', consumed_);
            if (lineEnd == std::string::npos) {
                break;
            }
            std::istringstream header(log.substr(consumed_, lineEnd - consumed_));
            std::string word;
            std::size_t titleLength = 0;
            std::size_t textLength = 0;
            if (!(header >> word >> titleLength >> textLength) || word != kRecordWord ||
                lineEnd + 1 + titleLength + textLength + 1 > log.size()) {
                break;
            }
            const std::size_t start = lineEnd + 1;
            boxes.push_back(MessageBoxRecord{log.substr(start, titleLength),
                                             log.substr(start + titleLength, textLength)});
            consumed_ = start + titleLength + textLength + 1;
        }
        return boxes;
    }

private:
    std::string previous_;
    std::string path_;
    std::size_t consumed_ = 0;
};

} // namespace

void showMessageBox(void* /*owner*/, const std::string& title, const std::string& text) {
    const std::string path = environmentVariable(kLogVariable);
    if (!path.empty() && appendRecord(path, title, text)) {
        return;
    }
    std::fprintf(stderr, "[%s] %s\n", title.c_str(), text.c_str());
}

std::unique_ptr<MessageBoxWatcher> watchMessageBoxes() {
    return std::make_unique<PosixMessageBoxWatcher>();
}

} // namespace platform
