#include "ServerOptions.h"
#include "ServerArguments.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using refserver::ColourRequest;
using refserver::parseServerArguments;
using refserver::parseServerStep;
using refserver::RenderEnd;
using refserver::ServerOptions;
using refserver::ServerStep;
using refserver::UserChoice;

namespace {

ServerOptions optionsFrom(const std::map<std::string, std::string>& variables,
                          std::vector<std::string>& problems) {
    return ServerOptions::fromLookup(
        [&variables](const std::string& name) {
            const auto found = variables.find(name);
            return found == variables.end() ? std::string() : found->second;
        },
        problems);
}

} // namespace

TEST(ServerArguments, TakesOnlyTheConnectionNameAndTheClientsProcessId) {
    const auto parsed = parseServerArguments({"-clientpid:17", "-server:4711"});
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->connectionName, "4711");
    EXPECT_EQ(parsed->clientProcessId, 17U);

    const std::vector<std::vector<std::string>> refused = {
        {},
        {"-server:4711"},
        {"-server:", "-clientpid:9020"},
        {"-server:4711", "-clientpid:90x"},
        {"-server:4711", "-clientpid:0"},
        {"-server:4711", "-clientpid:-5"},
        {"-server:4711", "-clientpid:4294967296"},
        {"-server:4711", "-clientpid:9020", "-server:1"},
        {"-server:4711", "-clientpid:9020", "extra"},
        {"server:4711", "-clientpid:9020"},
        {"-server:4711 -clientpid:9020"},
        {"--version", "-server:4711", "-clientpid:9020"},
    };
    for (const auto& arguments : refused) {
        std::string line;
        for (const std::string& argument : arguments) {
            line += "[" + argument + "]";
        }
        EXPECT_FALSE(parseServerArguments(arguments)) << line;
    }
}

TEST(ServerStep, ReadsItsOwnTextAndNothingElse) {
    for (const ServerStep& step : {ServerStep::start(), ServerStep::afterRender(),
                                   ServerStep::request(0), ServerStep::tile(2)}) {
        EXPECT_EQ(parseServerStep(step.text()), step) << step.text();
    }
    for (const char* bad : {"", "begin", "request", "request:", "request:-1", "request:x", "tile:0",
                            "tile:2x", "after:render", "Start"}) {
        EXPECT_FALSE(parseServerStep(bad)) << bad;
    }
}

TEST(ServerOptions, AnUnreadableValueKeepsItsDefaultAndIsReported) {
    const std::vector<std::pair<std::string, std::string>> unreadable = {
        {"SOLVANTA_SERVER_USER", "maybe"},
        {"SOLVANTA_SERVER_DELAY_MS", "-1"},
        {"SOLVANTA_SERVER_PREVIEW", "yes"},
        {"SOLVANTA_SERVER_COLOR", "paint"},
        {"SOLVANTA_SERVER_TILE", "0"},
        {"SOLVANTA_SERVER_TILE", "5000"},
        {"SOLVANTA_SERVER_RENDER_END", "error:"},
        {"SOLVANTA_SERVER_RENDER_END", "stop"},
        {"SOLVANTA_SERVER_IDLE_MS", "soon"},
        {"SOLVANTA_SERVER_DIE", "request:abc"},
        {"SOLVANTA_SERVER_FLOOD_COUNT", "0"},
        {"SOLVANTA_SERVER_WRONG_ANSWER", "-3"},
    };
    const ServerOptions defaults;
    for (const auto& [name, value] : unreadable) {
        std::vector<std::string> problems;
        const ServerOptions options = optionsFrom({{name, value}}, problems);
        ASSERT_EQ(problems.size(), 1U) << name << "=" << value;
        EXPECT_EQ(problems[0], std::string("ignoring ").append(name).append("=").append(value));
        EXPECT_EQ(options.user, defaults.user);
        EXPECT_EQ(options.userDelayMs, defaults.userDelayMs);
        EXPECT_EQ(options.colour, defaults.colour);
        EXPECT_EQ(options.tileSize, defaults.tileSize);
        EXPECT_EQ(options.renderEnd, defaults.renderEnd);
        EXPECT_EQ(options.faults.dieAt, defaults.faults.dieAt);
        EXPECT_EQ(options.faults.floodCount, defaults.faults.floodCount);
    }
}
