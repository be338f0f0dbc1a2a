// The second process of the platform tests; see PeerProtocol.h.
#include "PeerProtocol.h"
#include "TestSupport.h"

#include "platform/EventObject.h"
#include "platform/Module.h"
#include "platform/MutexObject.h"
#include "platform/Process.h"
#include "platform/SharedRegion.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using testing_support::signalEvent;

void sleepMs(unsigned ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool writeText(platform::SharedRegion& region, std::size_t offset, const std::string& text) {
    if (offset + text.size() + 1 > region.size()) {
        return false;
    }
    std::memcpy(region.data() + offset, text.c_str(), text.size() + 1);
    return true;
}

// Waits for the test's go-ahead; "-" waits until the test kills us.
bool awaitTest(const std::string& eventName) {
    if (eventName == "-") {
        sleepMs(peer::patienceMs);
        return false;
    }
    const auto event = platform::createEvent(eventName);
    return event && event->wait(peer::patienceMs) == platform::WaitResult::signalled;
}

int echo(const std::vector<std::string>& args) {
    auto opened = platform::openRegion(args.at(0));
    if (!opened.region) {
        return peer::failed;
    }
    std::string lines;
    for (std::size_t i = 1; i < args.size(); ++i) {
        lines += (i > 1 ? "\n" : "") + args[i];
    }
    return writeText(*opened.region, 0, lines) ? peer::ok : peer::failed;
}

int spawnSleeper(const std::vector<std::string>& args) {
    std::string self;
    auto opened = platform::openRegion(args.at(0));
    if (!opened.region || !platform::moduleFileName(self, 4096)) {
        return peer::failed;
    }
    const std::string readyName = args.at(0) + "_ready";
    const auto ready = platform::createEvent(readyName);
    const platform::LaunchResult sleeper =
        platform::launch(self, "sleep " + args.at(1) + " " + readyName);
    if (!ready || !sleeper.process) {
        return peer::failed;
    }
    if (ready->wait(peer::patienceMs) != platform::WaitResult::signalled) {
        return peer::timedOut;
    }
    return writeText(*opened.region, 0, std::to_string(sleeper.process->id())) ? peer::ok
                                                                               : peer::failed;
}

int writeRegion(const std::vector<std::string>& args) {
    auto created =
        platform::createRegion(args.at(0), static_cast<std::uint32_t>(std::stoul(args.at(1))));
    if (!created.region || !writeText(*created.region, 0, args.at(2)) || !signalEvent(args.at(3))) {
        return peer::failed;
    }
    if (!awaitTest(args.at(4))) {
        return peer::timedOut;
    }
    const char* replied = reinterpret_cast<const char*>(created.region->data() + peer::replyOffset);
    return std::strcmp(replied, peer::reply) == 0 ? peer::ok : peer::failed;
}

int lockMutex(const std::vector<std::string>& args) {
    std::string why;
    const auto mutex = platform::openMutex(args.at(0), &why);
    if (!mutex) {
        std::fprintf(stderr, "platform_peer: cannot open the mutex %s\n", why.c_str());
        return peer::failed;
    }
    const platform::LockOutcome outcome = mutex->lock();
    if (outcome.status != platform::LockStatus::acquired) {
        std::fprintf(stderr, "platform_peer: lock refused (%d), held by process %u\n",
                     static_cast<int>(outcome.status), outcome.holder);
        return peer::failed;
    }
    const bool told = signalEvent(args.at(1));
    mutex->unlock();
    return told ? peer::ok : peer::failed;
}

int setEvent(const std::vector<std::string>& args) {
    sleepMs(static_cast<unsigned>(std::stoul(args.at(1))));
    return signalEvent(args.at(0)) ? peer::ok : peer::failed;
}

int waitEvent(const std::vector<std::string>& args) {
    const auto event = platform::createEvent(args.at(0));
    if (!event || (args.size() > 2 && !signalEvent(args[2]))) {
        return peer::failed;
    }
    switch (event->wait(static_cast<std::uint32_t>(std::stoul(args.at(1))))) {
    case platform::WaitResult::signalled:
        return peer::signalled;
    case platform::WaitResult::timedOut:
        return peer::waitTimedOut;
    case platform::WaitResult::failed:
        break;
    }
    return peer::waitFailed;
}

int makeObjects(const std::vector<std::string>& args) {
    const std::string& base = args.at(0);
    const auto mutex = platform::createMutex(base + peer::mutexSuffix);
    const auto event = platform::createEvent(base + peer::eventSuffix);
    auto created = platform::createRegion(base + peer::regionSuffix, peer::regionSize);
    if (!mutex || !event || !created.region ||
        mutex->lock().status != platform::LockStatus::acquired) {
        return peer::failed;
    }
    event->set();
    if (!writeText(*created.region, 0, peer::staleText) || !signalEvent(args.at(1))) {
        return peer::failed;
    }
    // Ending normally closes everything while the mutex is still locked.
    return awaitTest(args.at(2)) ? peer::ok : peer::timedOut;
}

} // namespace

int main(int argc, char** argv) {
    return testing_support::runHelperCommand(
        argc, argv,
        {
            {"echo", 1, echo},
            {"exit", 1, [](const std::vector<std::string>& args) { return std::stoi(args.at(0)); }},
            {"sleep", 1,
             [](const std::vector<std::string>& args) {
                 if (args.size() > 1 && !signalEvent(args[1])) {
                     return peer::failed;
                 }
                 sleepMs(static_cast<unsigned>(std::stoul(args.at(0))));
                 return peer::ok;
             }},
            {"spawn-sleeper", 2, spawnSleeper},
            {"write-region", 5, writeRegion},
            {"lock-mutex", 2, lockMutex},
            {"set-event", 2, setEvent},
            {"wait-event", 2, waitEvent},
            {"make-objects", 3, makeObjects},
        },
        peer::usage);
}
