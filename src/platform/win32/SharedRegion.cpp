#include "platform/SharedRegion.h"

#include "platform/win32/Handle.h"

namespace platform {

namespace {

class Win32Region final : public SharedRegion {
public:
    Win32Region(HANDLE mapping, void* view, std::size_t size)
        : mapping_(mapping), view_(view), size_(size) {}
    ~Win32Region() override { ::UnmapViewOfFile(view_); }

    unsigned char* data() override { return static_cast<unsigned char*>(view_); }
    [[nodiscard]] std::size_t size() const override { return size_; }

private:
    win32::Handle mapping_;
    void* view_;
    std::size_t size_;
};

RegionResult mapWhole(HANDLE mapping) {
    RegionResult result;
    if (mapping == nullptr) {
        result.status = RegionStatus::noMapping;
        return result;
    }
    void* view = ::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    MEMORY_BASIC_INFORMATION information{};
    if (view == nullptr ||
        ::VirtualQuery(view, &information, sizeof information) != sizeof information) {
        if (view != nullptr) {
            ::UnmapViewOfFile(view);
        }
        ::CloseHandle(mapping);
        result.status = RegionStatus::noView;
        return result;
    }
    // The view is whole pages: the size that an existing mapping was made
    // with, rounded up, and safe to touch throughout.
    result.region = std::make_unique<Win32Region>(mapping, view, information.RegionSize);
    result.status = RegionStatus::ok;
    return result;
}

} // namespace

RegionResult createRegion(const std::string& name, std::uint32_t size) {
    return mapWhole(
        ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name.c_str()));
}

RegionResult openRegion(const std::string& name) {
    return mapWhole(::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str()));
}

} // namespace platform
