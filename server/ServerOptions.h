#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace refserver {

// A point in the server's life where a misbehaviour can be switched on:
// "start" (before the plug-in's channel is opened), "request:<N>" (a record
// of selector N arrived from the plug-in, before it is handled), "tile:<K>"
// (K tiles of a render are written) and "after-render" (the render's end was
// sent).
struct ServerStep {
    enum class Kind { none, start, request, tile, afterRender };
    Kind kind = Kind::none;
    std::int32_t value = 0;

    static ServerStep start() { return {Kind::start, 0}; }
    static ServerStep request(std::int32_t selector) { return {Kind::request, selector}; }
    static ServerStep tile(std::int32_t written) { return {Kind::tile, written}; }
    static ServerStep afterRender() { return {Kind::afterRender, 0}; }

    bool operator==(const ServerStep& other) const {
        return kind == other.kind && value == other.value;
    }
    bool operator!=(const ServerStep& other) const { return !(*this == other); }
    std::string text() const;
};

std::optional<ServerStep> parseServerStep(const std::string& text);

// Misbehaviour on purpose, for tests of the plug-in.
struct FaultPlan {
    ServerStep dieAt;     // exit at once with exitDiedOnPurpose
    ServerStep silentAt;  // read and answer nothing more; stay alive
    ServerStep unknownAt; // send a request with a selector the plug-in has no handler for
    ServerStep floodAt;   // send floodCount progress reports in a burst
    std::int32_t floodCount = 25;
    std::optional<std::int32_t> wrongAnswerTo; // answer this request with another record
};

// How the user without a screen ends interactive editing.
enum class UserChoice { accept, cancel, acceptNewLayer };
// What the server asks of the plug-in during interactive editing.
enum class ColourRequest { none, pick, convert };
// How a render that went well ends.
enum class RenderEnd { finish, cancel, error };

struct ServerOptions {
    UserChoice user = UserChoice::accept;
    std::uint32_t userDelayMs = 0;
    std::optional<std::string> userEdit; // settings text applied when the user accepts
    bool preview = false;
    ColourRequest colour = ColourRequest::none;
    std::optional<std::string> initialSettings;
    int tileSize = 256;
    RenderEnd renderEnd = RenderEnd::finish;
    std::int32_t renderErrorCode = -1;
    std::uint32_t idleLimitMs = 0; // 0: no limit
    std::string logPath;           // empty: no log; "-": standard error
    std::string recordDirectory;   // empty: the plug-in's records are not kept
    FaultPlan faults;

    using Lookup = std::function<std::string(const std::string&)>;
    // Reads the SOLVANTA_SERVER_* variables through `lookup` (an empty text is
    // an unset variable). A value that cannot be read leaves its default and
    // adds a line to `problems`.
    static ServerOptions fromLookup(const Lookup& lookup, std::vector<std::string>& problems);
    static ServerOptions fromEnvironment(std::vector<std::string>& problems);
};

namespace variables {
inline constexpr const char* user = "SOLVANTA_SERVER_USER";
inline constexpr const char* delay = "SOLVANTA_SERVER_DELAY_MS";
inline constexpr const char* edit = "SOLVANTA_SERVER_EDIT";
inline constexpr const char* preview = "SOLVANTA_SERVER_PREVIEW";
inline constexpr const char* colour = "SOLVANTA_SERVER_COLOR";
inline constexpr const char* settings = "SOLVANTA_SERVER_SETTINGS";
inline constexpr const char* tile = "SOLVANTA_SERVER_TILE";
inline constexpr const char* renderEnd = "SOLVANTA_SERVER_RENDER_END";
inline constexpr const char* idle = "SOLVANTA_SERVER_IDLE_MS";
inline constexpr const char* log = "SOLVANTA_SERVER_LOG";
inline constexpr const char* records = "SOLVANTA_SERVER_RECORDS";
inline constexpr const char* die = "SOLVANTA_SERVER_DIE";
inline constexpr const char* silent = "SOLVANTA_SERVER_SILENT";
inline constexpr const char* unknown = "SOLVANTA_SERVER_UNKNOWN";
inline constexpr const char* flood = "SOLVANTA_SERVER_FLOOD";
inline constexpr const char* floodCount = "SOLVANTA_SERVER_FLOOD_COUNT";
inline constexpr const char* wrongAnswer = "SOLVANTA_SERVER_WRONG_ANSWER";
} // namespace variables

} // namespace refserver
