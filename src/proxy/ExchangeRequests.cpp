// The server's requests that end an exchange (5, 6, 24) and report its
// progress (36).

#include "image/HostImageBuffer.h"
#include "platform/Foreground.h"
#include "proxy/FilterGlobals.h"
#include "proxy/ProcessGlobals.h"
#include "proxy/RequestDoor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// The progress bar runs over this many steps; the descriptor's progress range
// picks a window of them.
constexpr std::int32_t progressSteps = 10000;

// A fraction of the bar in steps, truncated; a range that an action file
// carried can hold anything, so it is kept within what an int holds.
std::int32_t progressStep(double fraction) {
    const double steps = fraction * progressSteps;
    if (!(std::abs(steps) < 2.0e9)) {
        return steps > 0 ? progressSteps : 0;
    }
    return static_cast<std::int32_t>(steps);
}

// start + done * (end - start) / total, truncating toward zero like the
// 32-bit arithmetic it stands for, but never overflowing whatever the server
// sends.
std::int32_t progressValue(std::int32_t done, std::int32_t total) {
    const std::int64_t start = progressStep(gProgressStart);
    const std::int64_t end = progressStep(gProgressEnd);
    const std::int64_t value = start + std::int64_t{done} * (end - start) / total;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

void FilterGlobals::endExchange(std::int32_t acknowledgement, std::int32_t result) {
    endWait();
    running = false;
    platform::bringWindowToFront(hostWindow());
    sendMessage(msgBase{acknowledgement});
    serverResult = result;
}

void FilterGlobals::handleFinish(msgBase* /*request*/) {
    endExchange(msg::finishAcknowledged, 0);
}

void FilterGlobals::handleCancel(msgBase* /*request*/) {
    endExchange(msg::endConnection, 1);
}

void FilterGlobals::handleEndWithError(msgBase* request) {
    // The wait dialog stays: only 5 or 6 end the user's editing.
    running = false;
    serverResult =
        image::HostImageBuffer::mapHostResult(proxy::requestRecord<msgEndWithError>(request).code);
}

void FilterGlobals::handleProgress(msgBase* request) {
    const auto progress = proxy::requestRecord<msgProgress>(request);
    if (gFilterRecord == nullptr) {
        return;
    }
    if (progress.done >= 0) {
        // A report without a total has no fraction to show.
        if (progress.total != 0 && gFilterRecord->progressProc != nullptr) {
            gFilterRecord->progressProc(progressValue(progress.done, progress.total),
                                        progressSteps);
        }
        return;
    }
    if (gFilterRecord->abortProc != nullptr && gFilterRecord->abortProc() != 0) {
        sendAbort();
    }
}
