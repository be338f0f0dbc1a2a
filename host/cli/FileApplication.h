#pragma once

#include "HostArguments.h"
#include "host/ActionDescriptor.h"
#include "host/FileImage.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace host::cli {

// What every file of a run shares.
struct RunSettings {
    const HostArguments* arguments = nullptr;
    std::string pluginPath;
    std::optional<ActionDescriptor> descriptor;
    std::optional<FileImage> mask;
};

// One input and where its result goes.
struct FileJob {
    std::string input;
    std::string output;
    ImageFormat format = ImageFormat::png;
};

struct FileOutcome {
    int status = 0;
    // Why it failed, naming the file concerned; empty when applied.
    std::string message;
    // Interface misuse the host noticed, reported even when applied.
    std::vector<std::string> faults;
};

using ProgressSink = std::function<void(std::int32_t done, std::int32_t total)>;

// Reads the input, applies the plug-in with the run's settings and writes
// the result; the output file appears only complete (written beside it,
// then renamed), so a failure leaves what was there before.
FileOutcome applyToFile(const RunSettings& run, const FileJob& job, const ProgressSink& progress);

} // namespace host::cli
