#include "platform/SharedLibrary.h"

#include <windows.h>

namespace platform {

namespace {

class Win32SharedLibrary final : public SharedLibrary {
public:
    explicit Win32SharedLibrary(HMODULE module) : module_(module) {}
    ~Win32SharedLibrary() override { ::FreeLibrary(module_); }

    void* symbol(const std::string& name) const override {
        return reinterpret_cast<void*>(::GetProcAddress(module_, name.c_str()));
    }

private:
    HMODULE module_;
};

} // namespace

std::unique_ptr<SharedLibrary> loadLibrary(const std::string& path, std::string& error) {
    HMODULE module = ::LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error = "cannot load " + path + " (error " + std::to_string(::GetLastError()) + ")";
        return nullptr;
    }
    return std::make_unique<Win32SharedLibrary>(module);
}

} // namespace platform
