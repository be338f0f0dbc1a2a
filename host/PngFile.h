#pragma once

#include "host/Document.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

// An image as read from or written to a PNG file: 1 (gray), 2 (gray +
// alpha), 3 (RGB) or 4 (RGBA) channels interleaved, 8 or 16 bits per
// sample, 16-bit samples in PNG's own range 0..65535.
struct PngImage {
    int width = 0;
    int height = 0;
    int channels = 0;
    int depth = 8;
    std::vector<std::uint16_t> samples;
};

std::optional<PngImage> readPng(const std::string& path, std::string& error);
// Writes uncompressed (stored) deflate blocks: large files, no dependency.
bool writePng(const std::string& path, const PngImage& image, std::string& error);

// A document from a PNG: gray or RGB at the PNG's depth, a transparency plane
// when the PNG has alpha, 16-bit samples scaled from 0..65535 to 0..32768.
Document documentFromPng(const PngImage& image);
// The document's colour planes (and transparency) as a PNG of the same
// depth, 16-bit samples scaled back to 0..65535. Gray and RGB only.
std::optional<PngImage> pngFromDocument(const Document& document);
// A selection from any PNG: the first channel of each pixel at 8 bits.
std::vector<std::uint8_t> selectionFromPng(const PngImage& image);

} // namespace host
