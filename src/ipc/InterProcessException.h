#pragma once

#include <exception>
#include <string>

namespace ipc {

// Failures of shared memory, events and conditions.
class InterProcessException : public std::exception {
public:
    explicit InterProcessException(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

} // namespace ipc
