#include "TestSupport.h"

#include "platform/Registry.h"

#include <gtest/gtest.h>

namespace {

using testing_support::uniqueName;

// Each test has a key of its own; the POSIX stand-in also gets a root of its
// own, so nothing lands in the user's configuration.
class MachineRegistry : public ::testing::Test {
protected:
    void TearDown() override { platform::deleteMachineKey(key_); }

    const testing_support::TemporaryDirectory root_{"solvanta-registry"};
    const testing_support::ScopedEnvironment registry_{{{"SOLVANTA_REGISTRY_ROOT", root_.path()}}};
    const std::string key_ = "Software\\SolvantaPlatformTest\\" + uniqueName("key");
};

// What is read back is exactly what was written: no terminator, no newline
// added or lost.
TEST_F(MachineRegistry, ValueReadsBackExactly) {
    const std::string values[] = {"C:\\App\\Server.exe", "", "ends in a newline\n", "two\nlines",
                                  "/opt/solvanta/bin/server"};
    for (const std::string& written : values) {
        ASSERT_TRUE(platform::writeMachineValue(key_, "ServerPath", written)) << written;
        std::string read = "untouched";
        ASSERT_TRUE(platform::readMachineValue(key_, "ServerPath", read)) << written;
        EXPECT_EQ(read, written);
        EXPECT_EQ(read.size(), written.size());
    }
}

TEST_F(MachineRegistry, ValuesAndKeysAreSeparate) {
    const std::string nested = key_ + "\\Nested";
    ASSERT_TRUE(platform::writeMachineValue(key_, "ServerPath", "outer"));
    ASSERT_TRUE(platform::writeMachineValue(key_, "Other", "other"));
    ASSERT_TRUE(platform::writeMachineValue(nested, "ServerPath", "inner"));
    std::string read;
    ASSERT_TRUE(platform::readMachineValue(key_, "ServerPath", read));
    EXPECT_EQ(read, "outer");
    ASSERT_TRUE(platform::readMachineValue(key_, "Other", read));
    EXPECT_EQ(read, "other");
    ASSERT_TRUE(platform::readMachineValue(nested, "ServerPath", read));
    EXPECT_EQ(read, "inner");
}

TEST_F(MachineRegistry, MissingKeyOrValueReadsNothing) {
    std::string read;
    EXPECT_FALSE(platform::readMachineValue(key_, "ServerPath", read)) << "no key";
    EXPECT_FALSE(platform::deleteMachineKey(key_)) << "no key to delete";

    ASSERT_TRUE(platform::writeMachineValue(key_, "Other", "x"));
    EXPECT_FALSE(platform::readMachineValue(key_, "ServerPath", read)) << "no value";

    ASSERT_TRUE(platform::writeMachineValue(key_ + "\\Nested", "ServerPath", "y"));
    EXPECT_TRUE(platform::deleteMachineKey(key_));
    EXPECT_FALSE(platform::readMachineValue(key_, "Other", read)) << "deleted key";
    EXPECT_FALSE(platform::readMachineValue(key_ + "\\Nested", "ServerPath", read))
        << "deleted subkey";
}

} // namespace
