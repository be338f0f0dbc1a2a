#include "platform/ObjectNamespace.h"

#include "platform/posix/ObjectFile.h"

namespace platform {

std::vector<std::string> leftoverObjects() {
    return posix::sweepAndListObjects();
}

} // namespace platform
