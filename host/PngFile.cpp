#include "host/PngFile.h"

#include <stb/stb_image.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

namespace host {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Profiles beyond this are taken for damage, not for colour.
constexpr std::size_t kMaxProfileBytes = std::size_t{64} << 20;
constexpr std::size_t kIdatBytes = std::size_t{1} << 20;
constexpr double kMetresPerInch = 0.0254;

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

void appendBigEndian32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

bool inflateAll(const std::uint8_t* data, std::size_t size, Bytes& out) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return false;
    }
    stream.next_in = const_cast<Bytef*>(data); // zlib's API is not const-correct
    stream.avail_in = static_cast<uInt>(size);
    std::array<std::uint8_t, 16384> buffer{};
    int status = Z_OK;
    while (status == Z_OK && out.size() <= kMaxProfileBytes) {
        stream.next_out = buffer.data();
        stream.avail_out = static_cast<uInt>(buffer.size());
        status = inflate(&stream, Z_NO_FLUSH);
        out.insert(out.end(), buffer.data(), stream.next_out);
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END && out.size() <= kMaxProfileBytes;
}

bool deflateAll(const Bytes& raw, Bytes& out) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    out.resize(size);
    if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        return false;
    }
    out.resize(size);
    return true;
}

// The chunks that the decoder passes over: the profile (iCCP) and the
// resolution (pHYs), both before the image data. False with a reason when
// the profile is there but cannot be read.
bool readAncillaryChunks(const Bytes& png, FileImage& image, std::string& problem) {
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = bigEndian32(&png[at]);
        if (length > png.size() - at - 12) {
            return true;
        }
        const std::string type(reinterpret_cast<const char*>(&png[at + 4]), 4);
        const std::uint8_t* data = &png[at + 8];
        if (type == "IDAT" || type == "IEND") {
            return true;
        }
        if (type == "iCCP") {
            // A name of 1 to 79 bytes, NUL, compression method 0, zlib data.
            std::size_t name = 0;
            while (name < length && name < 80 && data[name] != 0) {
                ++name;
            }
            image.iccProfile.clear();
            if (name == 0 || name >= 80 || name + 2 > length || data[name + 1] != 0 ||
                !inflateAll(data + name + 2, length - name - 2, image.iccProfile)) {
                problem = "its colour profile (iCCP) is damaged";
                return false;
            }
        } else if (type == "pHYs" && length == 9 && data[8] == 1) {
            image.resolution = bigEndian32(data) * kMetresPerInch;
        }
        at += 12 + std::size_t{length};
    }
    return true;
}

int paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) {
        return a;
    }
    return pb <= pc ? b : c;
}

// Each row with the filter whose output has the smallest sum of absolute
// values, the usual guess at what deflates best.
Bytes filteredRows(const FileImage& image) {
    const auto sampleBytes = static_cast<std::size_t>(image.depth / 8);
    const std::size_t pixelBytes = static_cast<std::size_t>(image.channels) * sampleBytes;
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * pixelBytes;
    Bytes previous(rowBytes, 0);
    Bytes row(rowBytes);
    std::array<Bytes, 5> candidates;
    Bytes out;
    out.reserve(static_cast<std::size_t>(image.height) * (rowBytes + 1));
    for (int y = 0; y < image.height; ++y) {
        // 16-bit samples are big-endian.
        const std::size_t first = static_cast<std::size_t>(y) * rowBytes / sampleBytes;
        for (std::size_t i = 0; i < rowBytes / sampleBytes; ++i) {
            const std::uint16_t v = image.samples[first + i];
            if (sampleBytes == 2) {
                row[2 * i] = static_cast<std::uint8_t>(v >> 8);
                row[2 * i + 1] = static_cast<std::uint8_t>(v & 0xFF);
            } else {
                row[i] = static_cast<std::uint8_t>(v);
            }
        }
        std::array<std::uint64_t, 5> costs{};
        for (Bytes& c : candidates) {
            c.resize(rowBytes);
        }
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= pixelBytes ? row[i - pixelBytes] : 0;
            const int b = previous[i];
            const int ab = i >= pixelBytes ? previous[i - pixelBytes] : 0;
            const std::array<int, 5> predictors = {0, a, b, (a + b) / 2, paeth(a, b, ab)};
            for (std::size_t filter = 0; filter < candidates.size(); ++filter) {
                const auto value = static_cast<std::uint8_t>(row[i] - predictors[filter]);
                candidates[filter][i] = value;
                costs[filter] +=
                    static_cast<std::uint64_t>(std::abs(static_cast<std::int8_t>(value)));
            }
        }
        const auto best =
            static_cast<std::size_t>(std::min_element(costs.begin(), costs.end()) - costs.begin());
        out.push_back(static_cast<std::uint8_t>(best));
        out.insert(out.end(), candidates[best].begin(), candidates[best].end());
        previous.swap(row);
    }
    return out;
}

void appendChunk(Bytes& png, const char* type, const std::uint8_t* data, std::size_t size) {
    appendBigEndian32(png, static_cast<std::uint32_t>(size));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data, data + size);
    appendBigEndian32(png, static_cast<std::uint32_t>(
                               crc32(0, &png[start], static_cast<uInt>(png.size() - start))));
}

void appendChunk(Bytes& png, const char* type, const Bytes& data) {
    appendChunk(png, type, data.data(), data.size());
}

template <typename Sample>
void copySamples(const Sample* data, int width, int height, int channels, FileImage& image) {
    image.samples.assign(data, data + static_cast<std::size_t>(width) * height *
                                          static_cast<std::size_t>(channels));
}

} // namespace

std::optional<FileImage> readPng(const std::string& path, ImageError& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = {ImageFailure::file, "cannot open " + path};
        return std::nullopt;
    }
    const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        error = {ImageFailure::unsupported, path + ": PNG files over 2 GB are not supported"};
        return std::nullopt;
    }
    const int size = static_cast<int>(bytes.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    FileImage image;
    if (stbi_is_16_bit_from_memory(bytes.data(), size) != 0) {
        const std::unique_ptr<stbi_us, void (*)(void*)> data(
            stbi_load_16_from_memory(bytes.data(), size, &width, &height, &channels, 0),
            stbi_image_free);
        if (data) {
            image.depth = 16;
            copySamples(data.get(), width, height, channels, image);
        }
    } else {
        const std::unique_ptr<stbi_uc, void (*)(void*)> data(
            stbi_load_from_memory(bytes.data(), size, &width, &height, &channels, 0),
            stbi_image_free);
        if (data) {
            image.depth = 8;
            copySamples(data.get(), width, height, channels, image);
        }
    }
    if (image.samples.empty()) {
        error = {ImageFailure::file, path + ": a damaged PNG file (" + stbi_failure_reason() + ")"};
        return std::nullopt;
    }
    image.width = width;
    image.height = height;
    image.channels = channels;
    std::string problem;
    if (!readAncillaryChunks(bytes, image, problem)) {
        error = {ImageFailure::file, path + ": " + problem};
        return std::nullopt;
    }
    return image;
}

bool writePng(const std::string& path, const FileImage& image, ImageError& error) {
    static const std::uint8_t colourTypes[] = {0, 0, 4, 2, 6};
    if (image.channels < 1 || image.channels > 4 || (image.depth != 8 && image.depth != 16) ||
        image.width <= 0 || image.height <= 0 ||
        image.samples.size() != static_cast<std::size_t>(image.width) * image.height *
                                    static_cast<std::size_t>(image.channels)) {
        error = {ImageFailure::unsupported, "not an image that PNG can hold"};
        return false;
    }
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    appendBigEndian32(header, static_cast<std::uint32_t>(image.width));
    appendBigEndian32(header, static_cast<std::uint32_t>(image.height));
    header.push_back(static_cast<std::uint8_t>(image.depth));
    header.push_back(colourTypes[image.channels]);
    header.insert(header.end(), {0, 0, 0});
    appendChunk(png, "IHDR", header);

    Bytes compressed;
    if (!image.iccProfile.empty()) {
        const std::string name = "ICC profile";
        Bytes profile(name.begin(), name.end());
        profile.insert(profile.end(), {0, 0});
        if (!deflateAll(image.iccProfile, compressed)) {
            error = {ImageFailure::file, "cannot compress the colour profile"};
            return false;
        }
        profile.insert(profile.end(), compressed.begin(), compressed.end());
        appendChunk(png, "iCCP", profile);
    }
    if (image.resolution > 0.0) {
        const auto perMetre =
            static_cast<std::uint32_t>(std::lround(image.resolution / kMetresPerInch));
        Bytes physical;
        appendBigEndian32(physical, perMetre);
        appendBigEndian32(physical, perMetre);
        physical.push_back(1);
        appendChunk(png, "pHYs", physical);
    }
    if (!deflateAll(filteredRows(image), compressed)) {
        error = {ImageFailure::file, "cannot compress the image"};
        return false;
    }
    for (std::size_t at = 0; at < compressed.size(); at += kIdatBytes) {
        appendChunk(png, "IDAT", compressed.data() + at,
                    std::min(kIdatBytes, compressed.size() - at));
    }
    appendChunk(png, "IEND", nullptr, 0);

    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    if (!file) {
        error = {ImageFailure::file, "cannot write " + path};
        return false;
    }
    return true;
}

} // namespace host
