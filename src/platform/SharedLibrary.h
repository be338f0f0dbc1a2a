#pragma once

#include <memory>
#include <string>

namespace platform {

// A dynamic library loaded into this process; unloaded when destroyed.
class SharedLibrary {
public:
    SharedLibrary() = default;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    virtual ~SharedLibrary() = default;

    // The exported function or variable of that name, or null.
    virtual void* symbol(const std::string& name) const = 0;
};

// Loads the library at `path`; null on failure, with the system's reason in
// `error`.
std::unique_ptr<SharedLibrary> loadLibrary(const std::string& path, std::string& error);

} // namespace platform
