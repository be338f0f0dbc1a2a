#pragma once

namespace refserver {

// How a session ends; the executable returns these codes.
enum ExitCode : int {
    exitEnded = 0,          // the plug-in ended the connection (25)
    exitFailure = 1,        // a channel could not be opened or created, or the transport failed
    exitBadCommandLine = 2, // neither " -server:<name> -clientpid:<pid>" nor "--version"
    exitDiedOnPurpose = 3,  // a fault plan's "die" step was reached
    exitClientGone = 4,     // the plug-in's process ended or could not be opened
    exitIdle = 5,           // nothing arrived from the plug-in for the idle limit
};

// Ends the session from wherever it is; not a std::exception, so that no
// handler of ordinary failures takes it.
struct SessionEnd {
    int exitCode;
};

} // namespace refserver
