#pragma once

#include "host/FileImage.h"

#include <optional>
#include <string>

namespace host {

// False in a build without a TIFF library (the Win64 build): reading and
// writing then fail as unsupported.
bool tiffSupported();

// Baseline TIFF with any compression the library decodes, strips or tiles,
// chunky or planar: gray (min-is-black) or RGB, 8 or 16 bits, unsigned
// integer samples, at most one extra sample, which is taken as alpha
// (premultiplied alpha is divided out). Written as deflate-compressed
// strips with the horizontal predictor and unassociated alpha. The ICC
// profile and the resolution travel in their tags.
std::optional<FileImage> readTiff(const std::string& path, ImageError& error);
bool writeTiff(const std::string& path, const FileImage& image, ImageError& error);

} // namespace host
