// solvanta-host run as a program of its own, with the test filter.

#include "HostTestSupport.h"
#include "TestSupport.h"
#include "host/PngFile.h"
#include "platform/Module.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

using namespace host;

// Files beside the test, removed when the test ends.
class CliTest : public ::testing::Test {
protected:
    std::string file(const std::string& suffix) {
        std::string self;
        platform::moduleFileName(self, 4096);
        const std::string path = self.substr(0, self.rfind(platform::kPathSeparator) + 1) +
                                 testing_support::uniqueName("cli") + suffix;
        files_.push_back(path);
        return path;
    }
    ~CliTest() override {
        for (const std::string& path : files_) {
            std::remove(path.c_str());
        }
    }

    static std::uint32_t run(const std::string& arguments) {
        auto process = testing_support::startHelper(HOST_PROGRAM, arguments);
        return process ? testing_support::finishHelper(*process) : 999;
    }

    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::vector<std::string> files_;
};

PngImage gradient(int channels, int depth) {
    PngImage image;
    image.width = 23;
    image.height = 9;
    image.channels = channels;
    image.depth = depth;
    const std::uint32_t top = depth == 16 ? 65535 : 255;
    for (int i = 0; i < image.width * image.height * channels; ++i) {
        image.samples.push_back(
            static_cast<std::uint16_t>((static_cast<std::uint32_t>(i) * 997) % (top + 1)));
    }
    return image;
}

TEST_F(CliTest, applies_the_filter_to_a_png_and_records_the_descriptor) {
    struct Case {
        const char* name;
        int channels;
        int depth;
    };
    const Case cases[] = {{"RGB 8", 3, 8}, {"RGBA 16", 4, 16}, {"Gray 8", 1, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PngImage input = gradient(c.channels, c.depth);
        const std::string in = file(".png");
        const std::string out = file(".png");
        const std::string recorded = file(".txt");
        std::string error;
        ASSERT_TRUE(writePng(in, input, error)) << error;

        ASSERT_EQ(run("-q -p " + host_testing::testFilterPath() + " --settings fast -o " +
                      recorded + " " + in + " " + out),
                  0U);
        const std::optional<PngImage> result = readPng(out, error);
        ASSERT_TRUE(result.has_value()) << error;
        ASSERT_EQ(result->depth, c.depth);
        ASSERT_EQ(result->channels, c.channels);
        const bool alpha = c.channels == 4;
        // Inverted in the host's range: 16-bit samples go through 0..32768.
        const Document original = documentFromPng(input);
        for (std::size_t i = 0; i < input.samples.size(); ++i) {
            const int plane = static_cast<int>(i % static_cast<std::size_t>(c.channels));
            const int pixel = static_cast<int>(i / static_cast<std::size_t>(c.channels));
            const std::uint32_t v = original.sample(pixel % 23, pixel / 23, plane);
            const std::uint32_t host = alpha && plane == 3 ? v : original.maxValue() - v;
            const std::uint32_t expected = c.depth == 16 ? (host * 65535 + 16384) / 32768 : host;
            ASSERT_EQ(result->samples[i], expected) << "sample " << i;
        }
        const std::string descriptor = read(recorded);
        EXPECT_NE(descriptor.find("'SsPS' TEXT \"fast\""), std::string::npos) << descriptor;
        EXPECT_NE(descriptor.find("'TFrn' long 1"), std::string::npos) << descriptor;
    }
}

TEST_F(CliTest, a_mask_image_limits_the_filter_to_the_selection) {
    PngImage input = gradient(3, 8);
    PngImage mask;
    mask.width = input.width;
    mask.height = input.height;
    mask.channels = 1;
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            mask.samples.push_back(x < 10 ? 255 : 0);
        }
    }
    const std::string in = file(".png");
    const std::string maskFile = file(".png");
    const std::string out = file(".png");
    std::string error;
    ASSERT_TRUE(writePng(in, input, error));
    ASSERT_TRUE(writePng(maskFile, mask, error));
    ASSERT_EQ(run("--quiet --plugin " + host_testing::testFilterPath() + " --mask " + maskFile +
                  " " + in + " " + out),
              0U);
    const std::optional<PngImage> result = readPng(out, error);
    ASSERT_TRUE(result.has_value()) << error;
    for (std::size_t i = 0; i < input.samples.size(); ++i) {
        const int x = static_cast<int>(i / 3) % input.width;
        EXPECT_EQ(result->samples[i], x < 10 ? 255 - input.samples[i] : input.samples[i]) << i;
    }
}

TEST_F(CliTest, usage_and_file_errors_end_with_status_two) {
    const std::string in = file(".png");
    std::string error;
    ASSERT_TRUE(writePng(in, gradient(3, 8), error));
    EXPECT_EQ(run("--help"), 0U);
    EXPECT_EQ(run("--no-such-option a.png b.png"), 2U);
    EXPECT_EQ(run("-q " + in), 2U);
    EXPECT_EQ(
        run("-q -p " + host_testing::testFilterPath() + ".missing " + in + " " + file(".png")), 2U);
    EXPECT_EQ(run("-q -p " + host_testing::testFilterPath() + " " + file(".missing.png") + " " +
                  file(".png")),
              2U);
}

} // namespace
