#include "ipc/IPCMemoryBuffer.h"

#include "ipc/Errors.h"
#include "ipc/InterProcessException.h"
#include "platform/SharedRegion.h"

#include <cstring>
#include <sstream>
#include <utility>

namespace ipc {

IPCMemoryBuffer::IPCMemoryBuffer() = default;

IPCMemoryBuffer::IPCMemoryBuffer(OpenMode, std::string name) : name_(std::move(name)) {
    map();
}

IPCMemoryBuffer::IPCMemoryBuffer(CreateMode, std::string prefix, std::string suffix, int size,
                                 UniqueSuffix uniqueSuffix)
    : uniqueSuffix_(uniqueSuffix == UniqueSuffix::counter), prefix_(std::move(prefix)), size_(size),
      create_(true), suffix_(std::move(suffix)) {
    map();
}

IPCMemoryBuffer::~IPCMemoryBuffer() = default;

void IPCMemoryBuffer::open(const std::string& name) {
    create_ = false;
    name_ = name;
    map();
}

void IPCMemoryBuffer::release() {
    region_.reset();
}

void IPCMemoryBuffer::map() {
    release();
    platform::RegionResult result;
    if (create_) {
        std::ostringstream composed;
        composed << prefix_ << suffix_;
        if (uniqueSuffix_) {
            composed << counter_++;
        }
        name_ = composed.str();
        if (size_ < 0 || size_ > std::int64_t{0xFFFFFFFF} - std::int64_t{headerSize}) {
            throw InterProcessException(errors::cannotCreateMapping);
        }
        result = platform::createRegion(name_, static_cast<std::uint32_t>(size_ + headerSize));
    } else {
        result = platform::openRegion(name_);
    }
    if (result.status == platform::RegionStatus::noMapping) {
        throw InterProcessException(
            errors::withReason(errors::cannotCreateMapping, result.failure));
    }
    // A region too small to hold its own header cannot be one of ours.
    if (result.status == platform::RegionStatus::noView || !result.region ||
        result.region->size() < headerSize) {
        throw InterProcessException(errors::withReason(errors::cannotMapView, result.failure));
    }
    region_ = std::move(result.region);
    if (create_) {
        std::memcpy(region_->data(), &size_, sizeof size_);
    } else {
        std::memcpy(&size_, region_->data(), sizeof size_);
    }
}

unsigned char* IPCMemoryBuffer::data() const {
    return region_ ? region_->data() + headerSize : nullptr;
}

std::int64_t IPCMemoryBuffer::size() const {
    return region_ ? size_ : 0;
}

std::size_t IPCMemoryBuffer::capacity() const {
    return region_ ? region_->size() - headerSize : 0;
}

bool IPCMemoryBuffer::contains(std::size_t offset, std::size_t length) const {
    const std::size_t available = capacity();
    return offset <= available && length <= available - offset;
}

} // namespace ipc
