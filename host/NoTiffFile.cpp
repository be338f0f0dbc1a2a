// TIFF in a build without a TIFF library (the Win64 build: Debian packages
// libtiff for Linux only).

#include "host/TiffFile.h"

namespace host {

namespace {

constexpr const char* kNotInThisBuild = ": TIFF files are not supported in this build; use PNG";

} // namespace

bool tiffSupported() {
    return false;
}

std::optional<FileImage> readTiff(const std::string& path, ImageError& error) {
    error = {ImageFailure::unsupported, path + kNotInThisBuild};
    return std::nullopt;
}

bool writeTiff(const std::string& path, const FileImage& /*image*/, ImageError& error) {
    error = {ImageFailure::unsupported, path + kNotInThisBuild};
    return false;
}

} // namespace host
