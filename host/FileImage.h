#pragma once

#include "host/Document.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

// An image as a file holds it: 1 (gray), 2 (gray + alpha), 3 (RGB) or 4
// (RGBA) channels interleaved, 8 or 16 bits per sample, 16-bit samples in
// the files' range 0..65535, with the file's ICC profile and resolution.
struct FileImage {
    int width = 0;
    int height = 0;
    int channels = 0;
    int depth = 8;
    std::vector<std::uint16_t> samples;
    // Empty when the file names no profile.
    std::vector<std::uint8_t> iccProfile;
    // Pixels per inch; 0 when the file does not say.
    double resolution = 0.0;
};

enum class ImageFormat { png, tiff };

// Why a file could not be read or written: the file itself (missing,
// damaged, not writable), or an image of a kind this host does not handle.
enum class ImageFailure { file, unsupported };

struct ImageError {
    ImageFailure kind = ImageFailure::file;
    std::string text;
};

// The format a file name asks for by its extension (.png, .tif, .tiff, in
// any case); none for other names.
std::optional<ImageFormat> formatOfName(const std::string& path);

// Reads a PNG or a TIFF, told apart by their first bytes.
std::optional<FileImage> readImage(const std::string& path, ImageError& error);
bool writeImage(const std::string& path, ImageFormat format, const FileImage& image,
                ImageError& error);

// A document from a file's image: gray or RGB at its depth, a transparency
// plane for alpha, 16-bit samples scaled from 0..65535 to 0..32768, the
// profile and the resolution.
Document documentFromImage(const FileImage& image);
// The document's colour planes (and transparency) at its depth, 16-bit
// samples scaled back to 0..65535, with its profile and resolution. Gray
// and RGB only.
std::optional<FileImage> imageFromDocument(const Document& document);
// A selection from any image: the first channel of each pixel at 8 bits.
std::vector<std::uint8_t> selectionFromImage(const FileImage& image);

} // namespace host
