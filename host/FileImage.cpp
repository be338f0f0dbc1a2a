#include "host/FileImage.h"

#include "host/PngFile.h"
#include "host/TiffFile.h"
#include "platform/Path.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>

namespace host {

namespace {

std::string lowerExtension(const std::string& path) {
    const std::string name = platform::fileNameOf(path);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) {
        return {};
    }
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

} // namespace

std::optional<ImageFormat> formatOfName(const std::string& path) {
    const std::string extension = lowerExtension(path);
    if (extension == "png") {
        return ImageFormat::png;
    }
    if (extension == "tif" || extension == "tiff") {
        return ImageFormat::tiff;
    }
    return std::nullopt;
}

std::optional<FileImage> readImage(const std::string& path, ImageError& error) {
    std::array<char, 8> head{};
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = {ImageFailure::file, "cannot open " + path};
        return std::nullopt;
    }
    file.read(head.data(), head.size());
    const std::string start(head.data(), static_cast<std::size_t>(file.gcount()));
    if (start.size() == 8 && start == std::string("\x89PNG\r\n\x1A\n", 8)) {
        return readPng(path, error);
    }
    // Byte order, then 42 (TIFF) or 43 (BigTIFF).
    if (start.size() >= 4 &&
        (start.compare(0, 4, "II*\0", 4) == 0 || start.compare(0, 4, "MM\0*", 4) == 0 ||
         start.compare(0, 4, "II+\0", 4) == 0 || start.compare(0, 4, "MM\0+", 4) == 0)) {
        return readTiff(path, error);
    }
    error = {ImageFailure::unsupported, path + ": neither a PNG nor a TIFF file"};
    return std::nullopt;
}

bool writeImage(const std::string& path, ImageFormat format, const FileImage& image,
                ImageError& error) {
    return format == ImageFormat::png ? writePng(path, image, error)
                                      : writeTiff(path, image, error);
}

Document documentFromImage(const FileImage& image) {
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
    document.iccProfile = image.iccProfile;
    if (image.resolution > 0.0) {
        document.resolution = image.resolution;
    }
    return document;
}

std::optional<FileImage> imageFromDocument(const Document& document) {
    if (document.mode() != ColorMode::Gray && document.mode() != ColorMode::RGB) {
        return std::nullopt;
    }
    FileImage image;
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
    image.iccProfile = document.iccProfile;
    image.resolution = document.resolution;
    return image;
}

std::vector<std::uint8_t> selectionFromImage(const FileImage& image) {
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
