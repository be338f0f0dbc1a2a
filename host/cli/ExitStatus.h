#pragma once

#include "host/FileImage.h"

namespace host::cli {

// solvanta-host's exit statuses, as --help lists them.
enum ExitStatus : int {
    applied = 0,
    pluginFailed = 1,
    usageError = 2,
    fileError = 3,
    unsupportedImage = 4,
    notAllApplied = 5,
};

inline int statusOf(const ImageError& error) {
    return error.kind == ImageFailure::unsupported ? unsupportedImage : fileError;
}

} // namespace host::cli
