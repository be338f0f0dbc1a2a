#pragma once

// What the POSIX hostile-peer tests ask of hostile_peer, a second process
// of the same user that has nothing but the objects' files and memory:
// `hostile_peer <command> <arguments...>`.
//
//   forge <mutex|event> <name> <value|self>
//                               writes the value (hexadecimal) into the object's
//                               shared word, or, with "self", names this thread
//                               as the mutex's owner; then ends
//   hold-stopped <mutex> <ready>
//                               locks the mutex, sets ready and stops itself
//   lock-path <path|objects> <ready>
//                               takes an exclusive flock on the path (or on the
//                               object directory), sets ready, holds it until killed
//   shrink <pid>                truncates every name file of the object directory
//                               and every object memory that process <pid> holds
//   private-shm <full|squatted> <base> <report>
//                               runs a scenario with a tmpfs of its own on /dev/shm
//                               (see HostilePeerTest.cpp); writes what failed, one
//                               line each, to the report file
namespace hostile {

inline constexpr const char* program = "hostile_peer";

inline constexpr int ok = 0;
inline constexpr int failed = 1;
inline constexpr int usage = 2;
// shrink: some memory of the target could be made smaller.
inline constexpr int shrank = 3;
// shrink: no memory of the target was found to attack.
inline constexpr int nothingFound = 4;
// private-shm: the machine lets this process have no /dev/shm of its own.
inline constexpr int noPrivateShm = 77;

// private-shm: the size of the tmpfs, and of a region bigger than it.
inline constexpr unsigned shmBytes = 1 << 20;
inline constexpr int bigRegionBytes = 8 << 20;
// The account that squats: nobody.
inline constexpr unsigned otherAccount = 65534;

} // namespace hostile
