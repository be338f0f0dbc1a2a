#include "platform/HostWindow.h"

namespace platform {

namespace {

// Without a window system the handle only has to be a stable, non-null
// value that stands for this window.
class PosixHostWindow final : public HostWindow {
public:
    void* handle() const override { return const_cast<PosixHostWindow*>(this); }
};

} // namespace

std::unique_ptr<HostWindow> createHostWindow() {
    return std::make_unique<PosixHostWindow>();
}

} // namespace platform
