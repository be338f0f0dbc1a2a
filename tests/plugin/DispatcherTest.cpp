// The entry point's dispatch, run in this process with steps put in by the
// test, against the host stand-in's record and suites.

#include "host/FilterHost.h"
#include "hostapi/FilterInterface.h"
#include "ipc/InterProcessException.h"
#include "plugin/EntryPoint.h"
#include "proxy/FilterGlobals.h"
#include "proxy/ProcessGlobals.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using hostapi::int16;

constexpr int16 kUntouched = 4711;

// What the injected steps do; plain functions cannot capture, so they read
// this.
struct Script {
    std::function<int16()> start = [] { return int16{0}; };
    std::function<int16()> continueRun = [] { return int16{0}; };
    std::function<int16()> finish = [] { return int16{0}; };
    std::function<int16()> parameters = [] { return int16{0}; };
    bool failConstruction = false;
    std::vector<std::string> calls;
};
Script* script = nullptr;

plugin::EntrySteps scriptedSteps() {
    return plugin::EntrySteps{
        []() -> FilterGlobals* {
            script->calls.emplace_back("create");
            if (script->failConstruction) {
                throw std::bad_alloc();
            }
            return new FilterGlobals();
        },
        [] {
            script->calls.emplace_back("parameters");
            return script->parameters();
        },
        [] {
            script->calls.emplace_back("prepare");
            return int16{0};
        },
        [] {
            script->calls.emplace_back("start");
            return script->start();
        },
        [] {
            script->calls.emplace_back("continue");
            return script->continueRun();
        },
        [] {
            script->calls.emplace_back("finish");
            return script->finish();
        },
    };
}

class Dispatcher : public ::testing::Test {
protected:
    Dispatcher() : host(host::Document::rgb(16, 16)) { script = &steps; }
    ~Dispatcher() override {
        plugin::deleteFilterGlobals();
        script = nullptr;
    }

    void SetUp() override { host.beginApplication(); }

    int16 call(int16 selector) {
        int16 result = kUntouched;
        plugin::runEntryPoint(selector, &host.record(), &result, scriptedSteps());
        return result;
    }

    void expectSuitesReleased() {
        for (const host::SuiteUse& use : host.records().suites) {
            EXPECT_EQ(use.acquired, use.released) << use.name;
        }
        EXPECT_EQ(gChannelPortsSuite, nullptr);
        EXPECT_EQ(gZStringSuite, nullptr);
    }

    host::FilterHost host;
    Script steps;
};

TEST_F(Dispatcher, CreatesTheStateOnceForEveryNonZeroSelector) {
    EXPECT_EQ(call(hostapi::filterSelectorAbout), kUntouched);
    EXPECT_EQ(gFilterGlobals, nullptr);
    EXPECT_EQ(call(6), kUntouched);
    FilterGlobals* const state = gFilterGlobals;
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(call(-2), kUntouched);
    EXPECT_EQ(call(hostapi::filterSelectorParameters), 0);
    EXPECT_EQ(gFilterGlobals, state);
    EXPECT_EQ(steps.calls, (std::vector<std::string>{"create", "parameters"}));
    EXPECT_EQ(gFilterRecord, &host.record());
    expectSuitesReleased();
}

TEST_F(Dispatcher, TurnsFailuresIntoResultsAndDropsTheState) {
    struct Case {
        const char* what;
        std::function<int16()> step;
        int16 expected;
    };
    const std::vector<Case> cases = {
        {"runtime_error", []() -> int16 { throw std::runtime_error("Coms are broken"); }, -1},
        {"bad_alloc", []() -> int16 { throw std::bad_alloc(); }, -108},
        {"InterProcessException",
         []() -> int16 { throw ipc::InterProcessException("wait failed"); }, -1},
        {"logic_error", []() -> int16 { throw std::logic_error("bug"); }, -1},
        {"not an exception class", []() -> int16 { throw 42; }, -1},
    };
    for (const Case& c : cases) {
        call(hostapi::filterSelectorParameters);
        ASSERT_NE(gFilterGlobals, nullptr);
        steps.continueRun = c.step;
        EXPECT_EQ(call(hostapi::filterSelectorContinue), c.expected) << c.what;
        EXPECT_EQ(gFilterGlobals, nullptr) << c.what;
        expectSuitesReleased();
    }
}

TEST_F(Dispatcher, FailedConstructionLeavesNoStateAndIsTriedAgain) {
    steps.failConstruction = true;
    EXPECT_EQ(call(hostapi::filterSelectorParameters), -108);
    EXPECT_EQ(gFilterGlobals, nullptr);
    steps.failConstruction = false;
    EXPECT_EQ(call(hostapi::filterSelectorParameters), 0);
    EXPECT_NE(gFilterGlobals, nullptr);
    EXPECT_EQ(steps.calls, (std::vector<std::string>{"create", "create", "parameters"}));
}

TEST_F(Dispatcher, AFailedStartIsFinishedWithinTheSameCall) {
    struct Case {
        std::function<int16()> finish;
        int16 expected;
    };
    const std::vector<Case> cases = {
        // Finish's own result is dropped.
        {[] { return int16{-1}; }, 1},
        {[]() -> int16 { throw std::runtime_error("Unable to send message on outgoing channel."); },
         -1},
        {[]() -> int16 { throw std::bad_alloc(); }, -108},
    };
    for (const Case& c : cases) {
        steps.calls.clear();
        steps.start = [] { return int16{1}; };
        steps.finish = c.finish;
        gLastResult = 0;
        EXPECT_EQ(call(hostapi::filterSelectorStart), c.expected);
        EXPECT_EQ(gLastResult, 1);
        EXPECT_EQ(steps.calls.back(), "finish");
    }
}

TEST_F(Dispatcher, ASuccessfulStartIsNotFinishedAndContinueKeepsItsResultForFinish) {
    EXPECT_EQ(call(hostapi::filterSelectorStart), 0);
    steps.continueRun = [] { return int16{-128}; };
    EXPECT_EQ(call(hostapi::filterSelectorContinue), -128);
    EXPECT_EQ(gLastResult, -128);
    EXPECT_EQ(steps.calls, (std::vector<std::string>{"create", "start", "continue"}));
}

// A basic suite that logs every acquire and release and refuses one suite.
std::vector<std::string> suiteLog;
std::string refusedSuite;
const int suiteTable = 0;

hostapi::SPErr logAcquire(const char* name, hostapi::int32 version, const void** suite) {
    suiteLog.push_back("acquire " + std::string(name) + " " + std::to_string(version));
    if (name == refusedSuite) {
        *suite = &suiteTable;
        return hostapi::spSuiteNotFoundError;
    }
    *suite = &suiteTable;
    return 0;
}

hostapi::SPErr logRelease(const char* name, hostapi::int32 version) {
    suiteLog.push_back("release " + std::string(name) + " " + std::to_string(version));
    return 0;
}

TEST(Suites, AreAcquiredAndReleasedInTableOrderByNameAndVersion) {
    hostapi::SPBasicSuite basic{};
    basic.AcquireSuite = &logAcquire;
    basic.ReleaseSuite = &logRelease;
    hostapi::FilterRecord record{};
    record.sSPBasic = &basic;
    suiteLog.clear();
    refusedSuite = hostapi::HandleSuite::suiteName;

    int16 result = kUntouched;
    plugin::runEntryPoint(6, &record, &result, plugin::defaultEntrySteps());
    plugin::deleteFilterGlobals();

    const auto entry = [](const char* verb, const char* name, hostapi::int32 version) {
        return std::string(verb) + " " + name + " " + std::to_string(version);
    };
    using namespace hostapi;
    const std::vector<std::string> expected = {
        entry("acquire", ChannelPortsSuite::suiteName, 3),
        entry("acquire", DescriptorRegistrySuite::suiteName, 1),
        entry("acquire", ActionDescriptorSuite::suiteName, 2),
        entry("acquire", HandleSuite::suiteName, 2),
        entry("acquire", ColorSpaceSuite::suiteName, 1),
        entry("acquire", ZStringSuite::suiteName, 1),
        entry("release", ChannelPortsSuite::suiteName, 3),
        entry("release", DescriptorRegistrySuite::suiteName, 1),
        entry("release", ActionDescriptorSuite::suiteName, 2),
        // The refused suite is null and never released.
        entry("release", ColorSpaceSuite::suiteName, 1),
        entry("release", ZStringSuite::suiteName, 1),
    };
    EXPECT_EQ(suiteLog, expected);
    EXPECT_EQ(result, kUntouched);
    EXPECT_EQ(gBasicSuite, &basic);
    EXPECT_EQ(gHandleSuite, nullptr);
}

TEST(DefaultSteps, FinishEndsTheInvocation) {
    host::FilterHost host(host::Document::rgb(8, 8));
    host.beginApplication();
    int16 result = kUntouched;
    plugin::runEntryPoint(hostapi::filterSelectorParameters, &host.record(), &result,
                          plugin::defaultEntrySteps());
    ASSERT_NE(gFilterGlobals, nullptr);
    // Finish reports the result of the last Start or Continue.
    gLastResult = 0;
    result = kUntouched;
    plugin::runEntryPoint(hostapi::filterSelectorFinish, &host.record(), &result,
                          plugin::defaultEntrySteps());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(gFilterGlobals, nullptr);
    EXPECT_EQ(gFilterRecord, nullptr);
    for (const host::SuiteUse& use : host.records().suites) {
        EXPECT_EQ(use.acquired, 2) << use.name;
        EXPECT_EQ(use.released, 2) << use.name;
    }
}

} // namespace
