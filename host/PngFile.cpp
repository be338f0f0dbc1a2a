#include "host/PngFile.h"

#include <stb/stb_image.h>

#include <array>
#include <fstream>
#include <iterator>
#include <memory>

namespace host {

namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFFU] ^ (crc >> 8);
    }
    return ~crc;
}

std::uint32_t adler32(const std::vector<std::uint8_t>& data) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void bigEndian32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

void chunk(std::vector<std::uint8_t>& png, const char* type,
           const std::vector<std::uint8_t>& data) {
    bigEndian32(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    bigEndian32(png, crc32(png.data() + start, png.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::vector<std::uint8_t> zlibStored(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> out = {0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(raw.size() - at, 65535);
        const bool last = at + n == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<std::uint8_t>(n & 0xFF));
        out.push_back(static_cast<std::uint8_t>(n >> 8));
        out.push_back(static_cast<std::uint8_t>(~n & 0xFF));
        out.push_back(static_cast<std::uint8_t>((~n >> 8) & 0xFF));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    } while (at < raw.size());
    bigEndian32(out, adler32(raw));
    return out;
}

} // namespace

std::optional<PngImage> readPng(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    const int size = static_cast<int>(bytes.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    PngImage image;
    if (stbi_is_16_bit_from_memory(bytes.data(), size) != 0) {
        std::unique_ptr<stbi_us, void (*)(void*)> data(
            stbi_load_16_from_memory(bytes.data(), size, &width, &height, &channels, 0),
            stbi_image_free);
        if (!data) {
            error = path + ": " + stbi_failure_reason();
            return std::nullopt;
        }
        image.depth = 16;
        image.samples.assign(data.get(), data.get() + static_cast<std::size_t>(width) * height *
                                                          static_cast<std::size_t>(channels));
    } else {
        std::unique_ptr<stbi_uc, void (*)(void*)> data(
            stbi_load_from_memory(bytes.data(), size, &width, &height, &channels, 0),
            stbi_image_free);
        if (!data) {
            error = path + ": " + stbi_failure_reason();
            return std::nullopt;
        }
        image.depth = 8;
        image.samples.assign(data.get(), data.get() + static_cast<std::size_t>(width) * height *
                                                          static_cast<std::size_t>(channels));
    }
    image.width = width;
    image.height = height;
    image.channels = channels;
    return image;
}

bool writePng(const std::string& path, const PngImage& image, std::string& error) {
    static const std::uint8_t colourTypes[] = {0, 0, 4, 2, 6};
    if (image.channels < 1 || image.channels > 4 || (image.depth != 8 && image.depth != 16) ||
        image.width <= 0 || image.height <= 0 ||
        image.samples.size() != static_cast<std::size_t>(image.width) * image.height *
                                    static_cast<std::size_t>(image.channels)) {
        error = "not an image that PNG can hold";
        return false;
    }
    std::vector<std::uint8_t> header;
    bigEndian32(header, static_cast<std::uint32_t>(image.width));
    bigEndian32(header, static_cast<std::uint32_t>(image.height));
    header.push_back(static_cast<std::uint8_t>(image.depth));
    header.push_back(colourTypes[image.channels]);
    header.insert(header.end(), {0, 0, 0});

    // Filter type 0 (none) for every row; 16-bit samples are big-endian.
    std::vector<std::uint8_t> raw;
    const std::size_t rowSamples = static_cast<std::size_t>(image.width) * image.channels;
    raw.reserve(static_cast<std::size_t>(image.height) *
                (1 + rowSamples * static_cast<std::size_t>(image.depth / 8)));
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        for (std::size_t i = 0; i < rowSamples; ++i) {
            const std::uint16_t v = image.samples[static_cast<std::size_t>(y) * rowSamples + i];
            if (image.depth == 16) {
                raw.push_back(static_cast<std::uint8_t>(v >> 8));
            }
            raw.push_back(static_cast<std::uint8_t>(v & 0xFF));
        }
    }
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", zlibStored(raw));
    chunk(png, "IEND", {});
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

Document documentFromPng(const PngImage& image) {
    const bool gray = image.channels <= 2;
    const bool alpha = image.channels == 2 || image.channels == 4;
    Document document(gray ? ColorMode::Gray : ColorMode::RGB, image.depth, image.width,
                      image.height);
    if (alpha) {
        document.addTransparency(document.maxValue());
    }
    std::size_t i = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            for (int p = 0; p < image.channels; ++p) {
                const std::uint32_t v = image.samples[i++];
                document.setSample(x, y, p, image.depth == 16 ? (v * 32768 + 32767) / 65535 : v);
            }
        }
    }
    return document;
}

std::optional<PngImage> pngFromDocument(const Document& document) {
    if (document.mode() != ColorMode::Gray && document.mode() != ColorMode::RGB) {
        return std::nullopt;
    }
    PngImage image;
    image.width = document.width();
    image.height = document.height();
    image.channels = document.planes();
    image.depth = document.depth();
    image.samples.reserve(static_cast<std::size_t>(image.width) * image.height *
                          static_cast<std::size_t>(image.channels));
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            for (int p = 0; p < image.channels; ++p) {
                const std::uint32_t v = document.sample(x, y, p);
                image.samples.push_back(static_cast<std::uint16_t>(
                    image.depth == 16 ? (v * 65535 + 16384) / 32768 : v));
            }
        }
    }
    return image;
}

std::vector<std::uint8_t> selectionFromPng(const PngImage& image) {
    std::vector<std::uint8_t> mask;
    mask.reserve(static_cast<std::size_t>(image.width) * image.height);
    for (std::size_t i = 0; i < image.samples.size();
         i += static_cast<std::size_t>(image.channels)) {
        const std::uint16_t v = image.samples[i];
        mask.push_back(
            static_cast<std::uint8_t>(image.depth == 16 ? (v * 255U + 32767) / 65535 : v));
    }
    return mask;
}

} // namespace host
