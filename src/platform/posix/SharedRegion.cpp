#include "platform/SharedRegion.h"

#include "platform/posix/ObjectFile.h"

namespace platform {

namespace {

using posix::AttachStatus;
using posix::Disposition;
using posix::ObjectFile;

class PosixRegion final : public SharedRegion {
public:
    explicit PosixRegion(std::unique_ptr<ObjectFile> file) : file_(std::move(file)) {}

    unsigned char* data() override { return file_->payload(); }
    // The memory's own size, whatever its creator asked for; sealed, so it
    // stays this size for as long as it is mapped.
    [[nodiscard]] std::size_t size() const override { return file_->payloadSize(); }

private:
    std::unique_ptr<ObjectFile> file_;
};

RegionResult attachRegion(const std::string& name, std::uint32_t size, Disposition disposition) {
    RegionResult result;
    const ObjectFile::Layout layout{posix::ObjectKind::region, size, 0};
    std::unique_ptr<ObjectFile> file;
    switch (ObjectFile::attach(name, layout, disposition, file, result.failure)) {
    case AttachStatus::ok:
        result.region = std::make_unique<PosixRegion>(std::move(file));
        result.status = RegionStatus::ok;
        break;
    case AttachStatus::noView:
        result.status = RegionStatus::noView;
        break;
    case AttachStatus::missing:
    case AttachStatus::refused:
        result.status = RegionStatus::noMapping;
        break;
    }
    return result;
}

} // namespace

RegionResult createRegion(const std::string& name, std::uint32_t size) {
    // Windows refuses a new mapping of no size.
    if (size == 0) {
        return RegionResult{};
    }
    return attachRegion(name, size, Disposition::createOrOpen);
}

RegionResult openRegion(const std::string& name) {
    return attachRegion(name, 0, Disposition::openExisting);
}

} // namespace platform
