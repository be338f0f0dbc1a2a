#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// A named region of shared memory, mapped whole into this process. Bytes of
// a region that its creator made are zero until written.
class SharedRegion {
public:
    SharedRegion() = default;
    SharedRegion(const SharedRegion&) = delete;
    SharedRegion& operator=(const SharedRegion&) = delete;
    virtual ~SharedRegion() = default;

    virtual unsigned char* data() = 0;
    // Bytes really mapped: nothing beyond them may be read or written. It can
    // differ from the size that was asked for when the name already existed.
    virtual std::size_t size() const = 0;
};

enum class RegionStatus {
    ok,
    noMapping, // the region could not be created or opened
    noView,    // it exists but could not be mapped into this process
};

struct RegionResult {
    std::unique_ptr<SharedRegion> region;
    RegionStatus status = RegionStatus::noMapping;
    // Why it failed, naming the region, when the system has more to tell
    // than that the name does not exist.
    std::string failure;
};

// Creates a region of `size` bytes, or opens the existing one of that name
// whatever its size.
RegionResult createRegion(const std::string& name, std::uint32_t size);

// Opens an existing region; noMapping when no region of that name exists.
RegionResult openRegion(const std::string& name);

} // namespace platform
