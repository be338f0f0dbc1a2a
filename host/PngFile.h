#pragma once

#include "host/FileImage.h"

#include <optional>
#include <string>

namespace host {

// PNG of every colour type and depth in (palette and low depths expanded to
// 8 bits), gray or RGB with or without alpha at 8 or 16 bits out, deflated
// through zlib. The ICC profile travels in the iCCP chunk, the resolution
// in pHYs.
std::optional<FileImage> readPng(const std::string& path, ImageError& error);
bool writePng(const std::string& path, const FileImage& image, ImageError& error);

} // namespace host
