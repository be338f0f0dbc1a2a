#include "SessionFaults.h"

#include "PluginConnection.h"
#include "SessionEnd.h"
#include "SessionLog.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace refserver {

namespace {

using msg::emptyRecord;

// The plug-in registers no handler for it.
constexpr std::int32_t unknownSelector = 26;

} // namespace

SessionFaults::SessionFaults(const FaultPlan& plan, PluginConnection& connection, SessionLog& log)
    : plan_(plan), connection_(connection), log_(log) {}

void SessionFaults::reach(const ServerStep& step) {
    if (step == plan_.unknownAt) {
        log_.write("fault: unknown selector " + std::to_string(unknownSelector) + " at " +
                   step.text());
        connection_.request(emptyRecord<msgBase>(unknownSelector));
    }
    if (step == plan_.floodAt) {
        flood();
    }
    if (step == plan_.silentAt) {
        staySilent();
    }
    if (step == plan_.dieAt) {
        log_.write("fault: dying at " + step.text());
        std::_Exit(exitDiedOnPurpose);
    }
}

bool SessionFaults::answerWrongly(std::int32_t requestSelector) {
    if (plan_.wrongAnswerTo != requestSelector) {
        return false;
    }
    // Another request's answer: the plug-in matches answers by position and
    // must notice the selector.
    log_.write("fault: wrong answer to " + std::to_string(requestSelector));
    if (requestSelector == msg::ping) {
        const auto wrong =
            emptyRecord<msgGetParametersSizeResponse>(msg::getParametersSizeResponse);
        connection_.answer(requestSelector, &wrong, sizeof wrong);
    } else {
        const auto wrong = emptyRecord<msgPingResponse>(msg::pingResponse);
        connection_.answer(requestSelector, &wrong, sizeof wrong);
    }
    return true;
}

// Reads and answers nothing more, but still ends with the plug-in's process.
void SessionFaults::staySilent() {
    log_.write("fault: silent");
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(PluginConnection::sliceMs));
        connection_.watchClient();
    }
}

void SessionFaults::flood() {
    const std::int32_t count = plan_.floodCount;
    log_.write("fault: flooding " + std::to_string(count) + " progress reports");
    for (std::int32_t i = 0; i < count; ++i) {
        auto progress = emptyRecord<msgProgress>(msg::progress);
        progress.done = i;
        progress.total = count;
        if (!connection_.request(progress)) {
            log_.write("fault: flood stopped after " + std::to_string(i));
            return;
        }
    }
}

} // namespace refserver
