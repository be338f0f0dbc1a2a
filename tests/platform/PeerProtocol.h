#pragma once

// What the platform tests ask of platform_peer, the second process that plays
// the other side: `platform_peer <command> <arguments...>`.
//
//   echo <region> <words...>         writes the words, one per line, into the region
//   exit <code>                      ends with that code
//   sleep <ms> [ready]               sets ready, if given, and ends after that long
//   spawn-sleeper <region> <ms>      starts a peer that sleeps, writes its pid into the
//                                    region once it runs and ends, so that peer is
//                                    nobody's child here
//   write-region <region> <size> <text> <ready> <done>
//                                    creates the region, writes the text, sets ready, waits
//                                    for done, then checks the reply at replyOffset
//   lock-mutex <mutex> <ready>       opens and locks the mutex, sets ready, unlocks
//   set-event <event> <delayMs>      sets the event after the delay
//   wait-event <event> <timeoutMs> [ready]
//                                    sets ready, if given, then waits on the event; the
//                                    outcome is the exit code
//   make-objects <base> <ready> <done|->
//                                    makes a locked mutex, a set event and a written region
//                                    named from base, sets ready, then waits for done ("-":
//                                    until killed) and closes them
//
// Under Wine a peer killed while it is still starting up can leave its console
// host behind, and that holds the test's output open, so the run never ends:
// a test kills a peer only after the peer said that it runs.
namespace peer {

inline constexpr const char* program = "platform_peer";

inline constexpr int ok = 0;
inline constexpr int failed = 1;
inline constexpr int usage = 2;
inline constexpr int timedOut = 3; // a wait of the peer's own ran out

// wait-event
inline constexpr int signalled = 0;
inline constexpr int waitTimedOut = 10;
inline constexpr int waitFailed = 11;

// How long a peer waits for the test before it gives up.
inline constexpr unsigned patienceMs = 60000;

inline constexpr unsigned replyOffset = 512;
inline constexpr const char* reply = "reply from the test";

// make-objects
inline constexpr const char* mutexSuffix = "_mutex";
inline constexpr const char* eventSuffix = "_event";
inline constexpr const char* regionSuffix = "_region";
inline constexpr unsigned regionSize = 4096;
inline constexpr const char* staleText = "left by a dead run";

} // namespace peer
