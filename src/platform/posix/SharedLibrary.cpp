#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace platform {

namespace {

class PosixSharedLibrary final : public SharedLibrary {
public:
    explicit PosixSharedLibrary(void* handle) : handle_(handle) {}
    ~PosixSharedLibrary() override { ::dlclose(handle_); }

    void* symbol(const std::string& name) const override { return ::dlsym(handle_, name.c_str()); }

private:
    void* handle_;
};

} // namespace

std::unique_ptr<SharedLibrary> loadLibrary(const std::string& path, std::string& error) {
    // Local symbols: a plug-in's copies of shared code must not bind to the
    // host's, as on Windows where every module resolves its own.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        // The host loads libraries from one thread only.
        const char* reason = ::dlerror(); // NOLINT(concurrency-mt-unsafe)
        error = reason != nullptr ? reason : "cannot load " + path;
        return nullptr;
    }
    return std::make_unique<PosixSharedLibrary>(handle);
}

} // namespace platform
