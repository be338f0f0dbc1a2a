#pragma once

#include <string>

// Failure texts of the transport. The server side and the tests compare
// against these very strings.
namespace ipc::errors {

inline constexpr const char* cannotCreateNamedMutex = "Cannot create NamedMutex";
inline constexpr const char* cannotOpenNamedMutex = "Cannot open NamedMutex";
inline constexpr const char* cannotCreateMutex = "Cannot create or open NamedMutex";

inline constexpr const char* errorCreatingEvent = "Error creating event in NamedCondition";
inline constexpr const char* errorOpeningEvent = "Error opening event in NamedCondition";
inline constexpr const char* waitFailed = "Wait failed in NamedCondition::timed_wait";

inline constexpr const char* cannotCreateMapping = "IPC cannot create file mapping";
inline constexpr const char* cannotMapView = "IPC cannot map view of file";

// Our own guards against a peer that wrote nonsense into shared memory or a
// caller that passes more than a cell holds.
inline constexpr const char* malformedQueue = "IPC message queue region is malformed";
inline constexpr const char* messageTooLarge = "IPC message larger than a queue cell";

// A lock that cannot be had: a holder that is alive but never lets go, or a
// shared state that no holder leaves (our POSIX stand-ins, whose state lives
// in memory that any process of the user can write). The name of the mutex
// follows, after ": ", when it has one.
inline constexpr const char* lockHeldTooLong = "Lock held too long by process ";
inline constexpr const char* lockStateImpossible = "Lock in a state that no holder leaves";

// A fixed text, then, when the system told why it refused a named object,
// ": " and that reason, which names the object.
inline std::string withReason(const char* text, const std::string& reason) {
    return reason.empty() ? std::string(text) : std::string(text) + ": " + reason;
}

inline constexpr const char* unableToLaunch = " Unable to launch server at ";
inline constexpr const char* launchErrorCode = "\nError : ";

} // namespace ipc::errors
