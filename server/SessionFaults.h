#pragma once

#include "ServerOptions.h"

#include <cstdint>

namespace refserver {

class PluginConnection;
class SessionLog;

// Misbehaviour on purpose, for tests of the plug-in. At the steps its plan
// names the session sends a request the plug-in has no handler for, floods
// its own request queue with progress reports, falls silent or dies as a
// crash would; and it can answer one kind of request with another's record.
class SessionFaults {
public:
    SessionFaults(const FaultPlan& plan, PluginConnection& connection, SessionLog& log);

    // The session has reached `step`: does what the plan says for it.
    void reach(const ServerStep& step);
    // Sends another request's answer in place of the answer to
    // `requestSelector` when the plan says so; false when it does not.
    bool answerWrongly(std::int32_t requestSelector);

private:
    [[noreturn]] void staySilent();
    void flood();

    FaultPlan plan_;
    PluginConnection& connection_;
    SessionLog& log_;
};

} // namespace refserver
