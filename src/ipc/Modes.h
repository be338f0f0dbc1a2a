#pragma once

namespace ipc {

// The mode of a named object is a constructor argument of its own type, so a
// call site reads NamedMutex(create, name) and cannot pass the wrong mode.
struct CreateMode {
    explicit CreateMode() = default;
};
struct OpenMode {
    explicit OpenMode() = default;
};

// Create the object, or open it when the name exists already.
inline constexpr CreateMode create{};
// Open an object that must exist.
inline constexpr OpenMode open{};

} // namespace ipc
