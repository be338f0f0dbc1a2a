#include "platform/Clock.h"
#include "platform/Module.h"
#include "platform/Path.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

TEST(Clock, TickCountAdvancesInMilliseconds) {
    const std::uint32_t before = platform::tickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // Unsigned difference: correct across the wrap at 2^32.
    const std::uint32_t elapsed = platform::tickCount() - before;
    EXPECT_GE(elapsed, 80u);
    EXPECT_LT(elapsed, 10000u);
}

// The code of this test is linked into its executable, so the module is the
// test program itself: an absolute path to a file that exists.
TEST(Module, FileNameIsTheFullPathOfThisProgram) {
    std::string path;
    ASSERT_TRUE(platform::moduleFileName(path, 4096));
    const std::string program = std::string("platform_test") + platform::kExecutableSuffix;
    ASSERT_GT(path.size(), program.size());
    EXPECT_EQ(path.substr(path.size() - program.size()), program);
    EXPECT_EQ(path[path.size() - program.size() - 1], platform::kPathSeparator);
    const bool absolute = path.front() == '/' || path.compare(1, 2, ":\\") == 0;
    EXPECT_TRUE(absolute) << path;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    EXPECT_NE(file, nullptr) << path;
    if (file != nullptr) {
        std::fclose(file);
    }
    EXPECT_NE(platform::moduleHandle(), nullptr);

    // Too small a buffer for the path and its terminator: false.
    std::string cut = "untouched";
    EXPECT_FALSE(platform::moduleFileName(cut, path.size()));
    EXPECT_TRUE(platform::moduleFileName(cut, path.size() + 1));
    EXPECT_EQ(cut, path);
}

// A path is cut at its last separator, the platform's own or, on both, '/'.
// A file at the root has no directory left, nor has a bare file name.
TEST(Path, CutsAtTheLastSeparator) {
    const std::string s(1, platform::kPathSeparator);
    const struct {
        std::string path, directory, fileName, beside;
    } cases[] = {
        {s + "a" + s + "b" + s + "c.so", s + "a" + s + "b", "c.so", s + "a" + s + "b" + s + "x"},
        {"d/e", "d", "e", "d/x"},
        {s + "c.so", "", "c.so", s + "x"},
        {"c.so", "", "c.so", "x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::directoryOf(c.path), c.directory) << c.path;
        EXPECT_EQ(platform::fileNameOf(c.path), c.fileName) << c.path;
        EXPECT_EQ(platform::fileBeside(c.path, "x"), c.beside) << c.path;
    }
}

} // namespace
