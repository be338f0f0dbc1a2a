#pragma once

#include "host/FileImage.h"
#include "hostapi/FilterInterface.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host::cli {

// The command line of solvanta-host.
struct HostArguments {
    // One input and `output`; or, in a batch (--output-dir), every input.
    std::vector<std::string> inputs;
    std::string output;
    std::string outputDir;
    bool replaceInput = false;
    std::optional<ImageFormat> format;

    std::string plugin;
    std::string mask;
    std::string descriptorIn;
    std::string descriptorOut;
    std::vector<std::string> lines;
    std::optional<std::int16_t> playInfo;
    bool repeat = false;
    std::optional<hostapi::VRect> filterRect;
    std::optional<std::string> name;
    std::int64_t maxSpace = std::int64_t{1} << 30;
    bool quiet = false;
    bool verbose = false;

    bool batch() const { return !outputDir.empty(); }
    // An action replayed over many files shows no dialog unless asked to.
    std::int16_t play() const {
        return playInfo.value_or(batch() ? hostapi::plugInDialogDontDisplay
                                         : hostapi::plugInDialogDisplay);
    }
};

enum class Parsed { run, done, failed };

// Reports usage errors on stderr and prints --help and --version itself.
Parsed parseHostArguments(int argc, char** argv, HostArguments& arguments);

// Prints a usage error and the hint to --help; returns usageError.
int reportUsageError(const std::string& message);

} // namespace host::cli
