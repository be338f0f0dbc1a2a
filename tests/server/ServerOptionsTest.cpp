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

TEST(ServerArguments, TakesTheConnectionNameAndTheClientsProcessIdSplitOnBlanks) {
    const auto parsed = parseServerArguments({"-server:4711", "-clientpid:9020"});
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->connectionName, "4711");
    EXPECT_EQ(parsed->clientProcessId, 9020U);

    const auto reversed = parseServerArguments({"-clientpid:17", "-server:0"});
    ASSERT_TRUE(reversed);
    EXPECT_EQ(reversed->connectionName, "0");
    EXPECT_EQ(reversed->clientProcessId, 17U);
}

TEST(ServerArguments, RefusesEveryOtherCommandLine) {
    const std::vector<std::vector<std::string>> refused = {
        {},
        {"-server:4711"},
        {"-clientpid:9020"},
        {"-server:", "-clientpid:9020"},
        {"-server:4711", "-clientpid:"},
        {"-server:4711", "-clientpid:90x"},
        {"-server:4711", "-clientpid:0"},
        {"-server:4711", "-clientpid:-5"},
        {"-server:4711", "-clientpid:4294967296"},
        {"-server:4711", "-clientpid:9020", "-server:1"},
        {"-server:4711", "-clientpid:9020", "extra"},
        {"server:4711", "-clientpid:9020"},
        {"-server:4711 -clientpid:9020"},
    };
    for (const auto& arguments : refused) {
        std::string line;
        for (const std::string& argument : arguments) {
            line += "[" + argument + "]";
        }
        EXPECT_FALSE(parseServerArguments(arguments)) << line;
    }
}

TEST(ServerStep, ReadsEveryStepAndNothingElse) {
    EXPECT_EQ(parseServerStep("start"), ServerStep::start());
    EXPECT_EQ(parseServerStep("after-render"), ServerStep::afterRender());
    EXPECT_EQ(parseServerStep("request:0"), ServerStep::request(0));
    EXPECT_EQ(parseServerStep("request:23"), ServerStep::request(23));
    EXPECT_EQ(parseServerStep("tile:3"), ServerStep::tile(3));
    for (const char* bad : {"", "begin", "request", "request:", "request:-1", "request:x", "tile:0",
                            "tile:2x", "after:render", "Start"}) {
        EXPECT_FALSE(parseServerStep(bad)) << bad;
    }
    for (const ServerStep& step : {ServerStep::start(), ServerStep::afterRender(),
                                   ServerStep::request(14), ServerStep::tile(2)}) {
        EXPECT_EQ(parseServerStep(step.text()), step) << step.text();
    }
}

TEST(ServerOptions, WithoutVariablesTheUserAcceptsAtOnceAndNothingMisbehaves) {
    std::vector<std::string> problems;
    const ServerOptions options = optionsFrom({}, problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(options.user, UserChoice::accept);
    EXPECT_EQ(options.userDelayMs, 0U);
    EXPECT_FALSE(options.userEdit);
    EXPECT_FALSE(options.preview);
    EXPECT_EQ(options.colour, ColourRequest::none);
    EXPECT_FALSE(options.initialSettings);
    EXPECT_EQ(options.tileSize, 256);
    EXPECT_EQ(options.renderEnd, RenderEnd::finish);
    EXPECT_EQ(options.idleLimitMs, 0U);
    EXPECT_TRUE(options.logPath.empty());
    EXPECT_EQ(options.faults.dieAt.kind, ServerStep::Kind::none);
    EXPECT_EQ(options.faults.silentAt.kind, ServerStep::Kind::none);
    EXPECT_EQ(options.faults.unknownAt.kind, ServerStep::Kind::none);
    EXPECT_EQ(options.faults.floodAt.kind, ServerStep::Kind::none);
    EXPECT_FALSE(options.faults.wrongAnswerTo);
}

TEST(ServerOptions, ReadsEveryVariable) {
    std::vector<std::string> problems;
    const ServerOptions options = optionsFrom(
        {
            {"SOLVANTA_SERVER_USER", "accept-new-layer"},
            {"SOLVANTA_SERVER_DELAY_MS", "1500"},
            {"SOLVANTA_SERVER_EDIT", "exposure=1"},
            {"SOLVANTA_SERVER_PREVIEW", "1"},
            {"SOLVANTA_SERVER_COLOR", "convert"},
            {"SOLVANTA_SERVER_SETTINGS", "1invert=1"},
            {"SOLVANTA_SERVER_TILE", "64"},
            {"SOLVANTA_SERVER_RENDER_END", "error:-108"},
            {"SOLVANTA_SERVER_IDLE_MS", "30000"},
            {"SOLVANTA_SERVER_LOG", "-"},
            {"SOLVANTA_SERVER_DIE", "request:14"},
            {"SOLVANTA_SERVER_SILENT", "tile:2"},
            {"SOLVANTA_SERVER_UNKNOWN", "request:7"},
            {"SOLVANTA_SERVER_FLOOD", "after-render"},
            {"SOLVANTA_SERVER_FLOOD_COUNT", "40"},
            {"SOLVANTA_SERVER_WRONG_ANSWER", "0"},
        },
        problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(options.user, UserChoice::acceptNewLayer);
    EXPECT_EQ(options.userDelayMs, 1500U);
    EXPECT_EQ(options.userEdit, "exposure=1");
    EXPECT_TRUE(options.preview);
    EXPECT_EQ(options.colour, ColourRequest::convert);
    EXPECT_EQ(options.initialSettings, "1invert=1");
    EXPECT_EQ(options.tileSize, 64);
    EXPECT_EQ(options.renderEnd, RenderEnd::error);
    EXPECT_EQ(options.renderErrorCode, -108);
    EXPECT_EQ(options.idleLimitMs, 30000U);
    EXPECT_EQ(options.logPath, "-");
    EXPECT_EQ(options.faults.dieAt, ServerStep::request(14));
    EXPECT_EQ(options.faults.silentAt, ServerStep::tile(2));
    EXPECT_EQ(options.faults.unknownAt, ServerStep::request(7));
    EXPECT_EQ(options.faults.floodAt, ServerStep::afterRender());
    EXPECT_EQ(options.faults.floodCount, 40);
    EXPECT_EQ(options.faults.wrongAnswerTo, 0);
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
        EXPECT_EQ(options.preview, defaults.preview);
        EXPECT_EQ(options.colour, defaults.colour);
        EXPECT_EQ(options.tileSize, defaults.tileSize);
        EXPECT_EQ(options.renderEnd, defaults.renderEnd);
        EXPECT_EQ(options.idleLimitMs, defaults.idleLimitMs);
        EXPECT_EQ(options.faults.dieAt, defaults.faults.dieAt);
        EXPECT_EQ(options.faults.floodCount, defaults.faults.floodCount);
        EXPECT_EQ(options.faults.wrongAnswerTo, defaults.faults.wrongAnswerTo);
    }
}
