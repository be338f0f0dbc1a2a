// solvanta-host run as a program of its own, with the test filter, the way a
// user or a script runs it: its exit status, what it writes, what it says.

#include "HostTestSupport.h"
#include "SolvantaVersion.h"
#include "TestSupport.h"
#include "host/FileImage.h"
#include "host/PngFile.h"
#include "host/TiffFile.h"
#include "platform/ProgramRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

using namespace host;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct HostRun {
    std::uint32_t status = 999;
    std::string out;
    std::string err;
};

// Text as written on Linux: Windows' C runtime ends lines with CR LF.
std::string withNewlines(std::string text) {
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    return text;
}

// A directory of its own, removed when the test ends.
class CliTest : public ::testing::Test {
protected:
    CliTest() : directory_(testing_support::temporaryPath("cli")) {
        fs::create_directories(directory_);
    }
    ~CliTest() override {
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }

    std::string file(const std::string& name) const { return (directory_ / name).string(); }

    HostRun run(std::vector<std::string> arguments) const {
        HostRun result;
        const std::string out = file("stdout.txt");
        const std::string err = file("stderr.txt");
        const std::optional<std::uint32_t> status = platform::runProgram(
            testing_support::helperPath(HOST_PROGRAM), arguments, out, err, 120000);
        EXPECT_TRUE(status.has_value()) << "solvanta-host did not run to its end";
        result.status = status.value_or(999);
        result.out = withNewlines(testing_support::fileText(out));
        result.err = withNewlines(testing_support::fileText(err));
        return result;
    }

private:
    fs::path directory_;
};

FileImage gradient(int channels, int depth, bool profile = false) {
    FileImage image;
    image.width = 23;
    image.height = 9;
    image.channels = channels;
    image.depth = depth;
    const std::uint32_t top = depth == 16 ? 65535 : 255;
    for (int i = 0; i < image.width * image.height * channels; ++i) {
        image.samples.push_back(
            static_cast<std::uint16_t>((static_cast<std::uint32_t>(i) * 997) % (top + 1)));
    }
    for (int i = 0; profile && i < 301; ++i) {
        image.iccProfile.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    }
    return image;
}

// A baseline TIFF laid out byte by byte, little-endian, one uncompressed
// strip: the host's reader is checked against a writer of this test's own.
struct RawTiff {
    int width = 1;
    int height = 1;
    int channels = 1;
    int bits = 8;
    std::uint16_t photometric = 1;  // 1 gray, 2 RGB, 5 CMYK
    std::uint16_t sampleFormat = 1; // 1 unsigned, 3 floating point
    Bytes profile;
    Bytes pixels;
};

void put16(Bytes& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(Bytes& out, std::size_t at, std::uint32_t v) {
    put16(out, at, v & 0xFFFF);
    put16(out, at + 2, v >> 16);
}

Bytes tiffBytes(const RawTiff& t) {
    struct Entry {
        std::uint16_t tag;
        std::uint16_t type; // 3 SHORT, 4 LONG, 7 UNDEFINED
        Bytes values;
    };
    const auto shorts = [](std::uint32_t v, int count) {
        Bytes b(static_cast<std::size_t>(2 * count));
        for (int i = 0; i < count; ++i) {
            put16(b, static_cast<std::size_t>(2 * i), v);
        }
        return b;
    };
    const auto longValue = [](std::uint32_t v) {
        Bytes b(4);
        put32(b, 0, v);
        return b;
    };
    std::vector<Entry> entries = {{256, 4, longValue(static_cast<std::uint32_t>(t.width))},
                                  {257, 4, longValue(static_cast<std::uint32_t>(t.height))},
                                  {258, 3, shorts(static_cast<std::uint32_t>(t.bits), t.channels)},
                                  {259, 3, shorts(1, 1)},
                                  {262, 3, shorts(t.photometric, 1)},
                                  {273, 4, longValue(0)}, // the strip's offset, filled in below
                                  {277, 3, shorts(static_cast<std::uint32_t>(t.channels), 1)},
                                  {278, 4, longValue(static_cast<std::uint32_t>(t.height))},
                                  {279, 4, longValue(static_cast<std::uint32_t>(t.pixels.size()))},
                                  {284, 3, shorts(1, 1)}};
    const int colours = t.photometric == 2 ? 3 : t.photometric == 5 ? 4 : 1;
    if (t.channels > colours) {
        entries.push_back({338, 3, shorts(2, 1)}); // unassociated alpha
    }
    entries.push_back({339, 3, shorts(t.sampleFormat, t.channels)});
    if (!t.profile.empty()) {
        entries.push_back({34675, 7, t.profile});
    }
    const std::size_t ifdSize = 2 + 12 * entries.size() + 4;
    Bytes out(8 + ifdSize);
    out[0] = 'I';
    out[1] = 'I';
    put16(out, 2, 42);
    put32(out, 4, 8);
    put16(out, 8, static_cast<std::uint32_t>(entries.size()));
    std::size_t at = 10;
    std::size_t stripOffsetField = 0;
    for (const Entry& e : entries) {
        const std::uint32_t unit = e.type == 3 ? 2 : e.type == 4 ? 4 : 1;
        put16(out, at, e.tag);
        put16(out, at + 2, e.type);
        put32(out, at + 4, static_cast<std::uint32_t>(e.values.size() / unit));
        if (e.values.size() <= 4) {
            std::copy(e.values.begin(), e.values.end(), out.begin() + static_cast<long>(at + 8));
        } else {
            put32(out, at + 8, static_cast<std::uint32_t>(out.size()));
            out.insert(out.end(), e.values.begin(), e.values.end());
            out.resize(out.size() + out.size() % 2); // values start on a word
        }
        if (e.tag == 273) {
            stripOffsetField = at + 8;
        }
        at += 12;
    }
    put32(out, stripOffsetField, static_cast<std::uint32_t>(out.size()));
    out.insert(out.end(), t.pixels.begin(), t.pixels.end());
    return out;
}

RawTiff rawTiffOf(const FileImage& image) {
    RawTiff t;
    t.width = image.width;
    t.height = image.height;
    t.channels = image.channels;
    t.bits = image.depth;
    t.photometric = image.channels >= 3 ? 2 : 1;
    t.profile = image.iccProfile;
    for (std::uint16_t v : image.samples) {
        t.pixels.push_back(static_cast<std::uint8_t>(v));
        if (image.depth == 16) {
            t.pixels.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    }
    return t;
}

void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void writeInput(const std::string& path, const FileImage& image) {
    if (formatOfName(path) == ImageFormat::tiff) {
        writeBytes(path, tiffBytes(rawTiffOf(image)));
    } else {
        ImageError error;
        ASSERT_TRUE(writePng(path, image, error)) << error.text;
    }
}

// What the test filter makes of an image: colour samples inverted in the
// host's range (16-bit samples go through 0..32768), alpha untouched.
std::vector<std::uint16_t> inverted(const FileImage& image) {
    const Document original = documentFromImage(image);
    const bool alpha = image.channels == 2 || image.channels == 4;
    std::vector<std::uint16_t> out;
    for (std::size_t i = 0; i < image.samples.size(); ++i) {
        const int plane = static_cast<int>(i % static_cast<std::size_t>(image.channels));
        const int pixel = static_cast<int>(i / static_cast<std::size_t>(image.channels));
        const std::uint32_t v = original.sample(pixel % image.width, pixel / image.width, plane);
        const std::uint32_t host =
            alpha && plane == image.channels - 1 ? v : original.maxValue() - v;
        out.push_back(
            static_cast<std::uint16_t>(image.depth == 16 ? (host * 65535 + 16384) / 32768 : host));
    }
    return out;
}

constexpr const char* kNotInThisBuild = "TIFF files are not supported in this build";

TEST_F(CliTest, AppliesTheFilterToPngAndTiffKeepingDepthAlphaAndProfile) {
    struct Case {
        const char* name;
        int channels;
        int depth;
        bool profile;
    };
    const Case cases[] = {
        {"in.png", 3, 8, false}, {"in.png", 2, 16, true},  {"in.tif", 3, 8, false},
        {"in.tif", 4, 8, true},  {"in.tiff", 1, 16, true}, {"in.tif", 4, 16, false},
        {"in.tif", 2, 8, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " channels " + std::to_string(c.channels) + " depth " +
                     std::to_string(c.depth) + (c.profile ? " with profile" : ""));
        const FileImage input = gradient(c.channels, c.depth, c.profile);
        const std::string in = file(c.name);
        const std::string out = file(std::string("out") + fs::path(c.name).extension().string());
        writeInput(in, input);
        const HostRun r = run({"-p", host_testing::testFilterPath(), "--settings", "fast", "-o",
                               file("recorded.txt"), in, out});
        if (formatOfName(in) == ImageFormat::tiff && !tiffSupported()) {
            EXPECT_EQ(r.status, 4U);
            EXPECT_NE(r.err.find(kNotInThisBuild), std::string::npos) << r.err;
            continue;
        }
        ASSERT_EQ(r.status, 0U) << r.err;
        // Not a terminal: no progress bar in the log.
        EXPECT_EQ(r.err, "");
        ImageError error;
        const std::optional<FileImage> read = readImage(in, error);
        ASSERT_TRUE(read.has_value()) << error.text;
        EXPECT_EQ(read->samples, input.samples) << "the input read back";
        const std::optional<FileImage> result = readImage(out, error);
        ASSERT_TRUE(result.has_value()) << error.text;
        EXPECT_EQ(result->depth, c.depth);
        EXPECT_EQ(result->channels, c.channels);
        EXPECT_EQ(result->samples, inverted(input));
        EXPECT_EQ(result->iccProfile, input.iccProfile);
        const std::string descriptor = testing_support::fileText(file("recorded.txt"));
        EXPECT_NE(descriptor.find("'SsPS' TEXT \"fast\""), std::string::npos) << descriptor;
    }
}

// The host blends the filtered pixels with the original by the mask.
TEST_F(CliTest, AMaskImageLimitsTheFilterToTheSelection) {
    const FileImage input = gradient(3, 8);
    FileImage mask;
    mask.width = input.width;
    mask.height = input.height;
    mask.channels = 1;
    const auto maskAt = [](int x) { return x < 10 ? 255U : x < 15 ? 128U : 0U; };
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            mask.samples.push_back(static_cast<std::uint16_t>(maskAt(x)));
        }
    }
    writeInput(file("in.png"), input);
    writeInput(file("mask.png"), mask);
    ASSERT_EQ(run({"--plugin", host_testing::testFilterPath(), "--mask", file("mask.png"),
                   file("in.png"), file("out.png")})
                  .status,
              0U);
    ImageError error;
    const std::optional<FileImage> result = readImage(file("out.png"), error);
    ASSERT_TRUE(result.has_value()) << error.text;
    for (std::size_t i = 0; i < input.samples.size(); ++i) {
        const std::uint32_t m = maskAt(static_cast<int>(i / 3) % input.width);
        const std::uint32_t v = input.samples[i];
        EXPECT_EQ(result->samples[i], ((255 - v) * m + v * (255 - m) + 127) / 255) << i;
    }
}

TEST_F(CliTest, RefusesWhatItCannotDoWithAStatusAndAReasonAndWritesNothing) {
    writeInput(file("in.png"), gradient(3, 8));
    std::ifstream whole(file("in.png"), std::ios::binary);
    const Bytes png((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    writeBytes(file("cut.png"),
               Bytes(png.begin(), png.begin() + static_cast<long>(png.size() / 2)));
    Bytes tiff = tiffBytes(rawTiffOf(gradient(3, 8)));
    tiff.resize(tiff.size() - 100);
    writeBytes(file("cut.tif"), tiff);
    RawTiff cmyk;
    cmyk.channels = 4;
    cmyk.photometric = 5;
    cmyk.pixels = Bytes(4, 0);
    writeBytes(file("cmyk.tif"), tiffBytes(cmyk));
    RawTiff floating;
    floating.bits = 32;
    floating.sampleFormat = 3;
    floating.pixels = Bytes(4, 0);
    writeBytes(file("float.tif"), tiffBytes(floating));

    const bool tiff_ = tiffSupported();
    const std::string filter = host_testing::testFilterPath();
    struct Case {
        std::vector<std::string> arguments;
        std::uint32_t status;
        std::string reason;
    };
    const Case cases[] = {
        {{"--no-such-option", file("in.png"), file("out.png")}, 2, "unknown option"},
        {{file("in.png")}, 2, "expected an input and an output"},
        {{"-p", filter, file("in.png"), file("out.jpg")}, 2, "must end in .png, .tif or .tiff"},
        {{"-p", filter, file("in.png"), file("in.png")}, 2, "--replace-input"},
        {{"-p", filter + ".missing", file("in.png"), file("out.png")},
         3,
         "cannot find the plug-in"},
        {{"-p", filter, file("missing.png"), file("out.png")}, 3, "cannot open"},
        {{"-p", filter, file("cut.png"), file("out.png")}, 3, "damaged PNG"},
        {{"-p", filter, file("cut.tif"), file("out.tif")},
         tiff_ ? 3U : 4U,
         tiff_ ? "damaged TIFF" : kNotInThisBuild},
        {{"-p", filter, file("cmyk.tif"), file("out.tif")},
         4,
         tiff_ ? "CMYK images are not supported" : kNotInThisBuild},
        {{"-p", filter, file("float.tif"), file("out.tif")},
         4,
         tiff_ ? "floating-point samples are not supported" : kNotInThisBuild},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.back() + " " + c.reason);
        const HostRun r = run(c.arguments);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(file("out.png")) || fs::exists(file("out.tif")));
        EXPECT_EQ(testing_support::fileText(file("in.png")), std::string(png.begin(), png.end()));
    }

    const HostRun version = run({"--version"});
    EXPECT_EQ(version.status, 0U);
    EXPECT_EQ(version.out, std::string("solvanta-host ") + solvanta::kVersion + "\n");
}

TEST_F(CliTest, ABatchReportsABrokenFileAndDoesTheOthersInOrder) {
    const std::vector<std::string> names = {"a.png", "b.png", "c.png", "d.png"};
    std::vector<std::string> inputs;
    for (const std::string& name : names) {
        inputs.push_back(file(name));
        writeInput(inputs.back(), gradient(3, 8));
    }
    writeBytes(inputs[1], Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0});
    std::ofstream(file("action.txt")) << "'SsPS' TEXT \"fast\"\n";

    // Into the inputs' own folder only when asked.
    std::vector<std::string> arguments = {
        "-p", host_testing::testFilterPath(), "-O", file(""), "-d", file("action.txt")};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    EXPECT_EQ(run(arguments).status, 2U);

    arguments[3] = file("out");
    const HostRun r = run(arguments);
    EXPECT_EQ(r.status, 5U) << r.err;
    const std::string summary =
        "4 files: 3 applied, 1 failed\n  failed: " + inputs[1] + ": a damaged PNG file";
    EXPECT_EQ(r.out.substr(0, summary.size()), summary);
    std::size_t at = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string line = "[" + std::to_string(i + 1) + "/4] " + inputs[i];
        at = r.err.find(line, at);
        EXPECT_NE(at, std::string::npos) << "no line " << line << " in order in\n" << r.err;
        ImageError error;
        const std::optional<FileImage> result = readImage(file("out/" + names[i]), error);
        EXPECT_EQ(result.has_value(), i != 1) << names[i];
        if (result) {
            EXPECT_EQ(result->samples, inverted(gradient(3, 8))) << names[i];
        }
    }
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << "a progress bar in the log";
}

} // namespace
