// solvanta-host: applies a filter plug-in to PNG and TIFF images the way the
// host application would, one image or a batch, and writes the results.

#include "ExitStatus.h"
#include "FileApplication.h"
#include "HostArguments.h"
#include "ProgressBar.h"
#include "host/DescriptorText.h"
#include "platform/Module.h"
#include "platform/Path.h"
#include "platform/Terminal.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace {

using namespace host;
using namespace host::cli;
namespace fs = std::filesystem;

bool fileExists(const std::string& path) {
    return static_cast<bool>(std::ifstream(path));
}

// The product's plug-in beside this program.
std::string defaultPlugin() {
    std::string self;
    if (!platform::moduleFileName(self, 4096)) {
        return {};
    }
    std::istringstream names(SOLVANTA_DEFAULT_PLUGINS);
    std::string name;
    std::string first;
    while (std::getline(names, name, ':')) {
        // The module's file name is a full path, so this is never a bare name.
        std::string path = platform::fileBeside(self, name);
        if (first.empty()) {
            first = path;
        }
        if (fileExists(path)) {
            return path;
        }
    }
    return first;
}

int fail(int status, const std::string& message) {
    std::cerr << "solvanta-host: " << message << "\n";
    return status;
}

// Reads what every file shares: the plug-in's path, the descriptor, the mask.
int prepare(const HostArguments& a, RunSettings& run) {
    run.arguments = &a;
    run.pluginPath = a.plugin.empty() ? defaultPlugin() : a.plugin;
    if (!fileExists(run.pluginPath)) {
        return fail(fileError, "cannot find the plug-in " + run.pluginPath);
    }
    std::string error;
    if (!a.descriptorIn.empty()) {
        std::ifstream file(a.descriptorIn, std::ios::binary);
        if (!file) {
            return fail(fileError, "cannot read " + a.descriptorIn);
        }
        std::stringstream text;
        text << file.rdbuf();
        run.descriptor.emplace();
        if (!descriptorFromText(text.str(), *run.descriptor, error)) {
            return fail(usageError, a.descriptorIn + ", " + error);
        }
    }
    for (const std::string& line : a.lines) {
        if (!run.descriptor) {
            run.descriptor.emplace();
        }
        if (!addDescriptorLine(line, *run.descriptor, error)) {
            std::string message = line;
            message += ": ";
            message += error;
            return fail(usageError, message);
        }
    }
    if (!a.mask.empty()) {
        ImageError maskError;
        run.mask = readImage(a.mask, maskError);
        if (!run.mask) {
            return fail(statusOf(maskError), maskError.text);
        }
    }
    return applied;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::equivalent(a, b, error);
}

// Where each input's result goes; refuses (with a usage error) outputs that
// would replace their input unasked, or one another.
int planJobs(const HostArguments& a, std::vector<FileJob>& jobs) {
    if (!a.batch()) {
        const std::optional<ImageFormat> format = formatOfName(a.output);
        if (!format) {
            return reportUsageError(a.output +
                                    ": the output's name must end in .png, .tif or .tiff");
        }
        if (!a.replaceInput && sameFile(a.inputs[0], a.output)) {
            return reportUsageError(a.output +
                                    " would replace the input; pass --replace-input to allow it");
        }
        jobs.push_back({a.inputs[0], a.output, *format});
        return applied;
    }
    std::error_code error;
    fs::create_directories(a.outputDir, error);
    if (!fs::is_directory(a.outputDir, error)) {
        return fail(fileError, "cannot make the directory " + a.outputDir);
    }
    std::map<std::string, std::string> inputOf;
    for (const std::string& input : a.inputs) {
        fs::path name = fs::path(input).filename();
        // An input whose name tells no format fails on its own when its turn comes.
        ImageFormat format = formatOfName(input).value_or(ImageFormat::png);
        if (a.format) {
            format = *a.format;
            name.replace_extension(format == ImageFormat::png ? ".png" : ".tif");
        }
        const std::string output = (fs::path(a.outputDir) / name).string();
        if (!a.replaceInput && sameFile(input, output)) {
            return reportUsageError(output +
                                    " would replace its input; pass --replace-input to allow it");
        }
        const auto [earlier, added] = inputOf.emplace(output, input);
        if (!added) {
            std::string message = earlier->second + " and " + input;
            message += " would both be written to ";
            message += output;
            return reportUsageError(message);
        }
        jobs.push_back({input, output, format});
    }
    return applied;
}

// Applies the filter to one file while the bar (if any) shows `progress`,
// then clears the bar and warns of the faults the host noticed.
FileOutcome applyUnderBar(const RunSettings& run, const FileJob& job, ProgressBar* bar,
                          const ProgressSink& progress) {
    FileOutcome outcome = applyToFile(run, job, progress);
    if (bar != nullptr) {
        bar->clear();
    }
    for (const std::string& fault : outcome.faults) {
        std::cerr << "solvanta-host: warning: " << fault << "\n";
    }
    return outcome;
}

int runOne(const RunSettings& run, const FileJob& job, ProgressBar* bar) {
    ProgressSink progress;
    if (bar != nullptr) {
        progress = [bar](std::int32_t done, std::int32_t total) { bar->update(done, total); };
    }
    const FileOutcome outcome = applyUnderBar(run, job, bar, progress);
    if (outcome.status != applied) {
        std::cerr << "solvanta-host: " << outcome.message << "\n";
    }
    return outcome.status;
}

// Every job in order under one bar; a line per file and a summary at the end.
int runBatch(const RunSettings& run, const std::vector<FileJob>& jobs, ProgressBar* bar) {
    const auto count = static_cast<std::int64_t>(jobs.size());
    std::vector<std::string> failures;
    for (std::int64_t i = 0; i < count; ++i) {
        const FileJob& job = jobs[static_cast<std::size_t>(i)];
        const std::string position =
            "[" + std::to_string(i + 1) + "/" + std::to_string(count) + "] ";
        ProgressSink progress;
        if (bar != nullptr) {
            bar->setLabel(position + fs::path(job.input).filename().string());
            bar->update(i, count);
            progress = [bar, i, count](std::int32_t done, std::int32_t total) {
                if (total > 0) {
                    bar->update(i * total + done, count * total);
                }
            };
        }
        const FileOutcome outcome = applyUnderBar(run, job, bar, progress);
        if (outcome.status == applied) {
            if (!run.arguments->quiet) {
                std::cerr << position << job.input << " -> " << job.output << "\n";
            }
        } else {
            std::cerr << position << outcome.message << "\n";
            failures.push_back(outcome.message);
        }
    }
    std::cout << count << (count == 1 ? " file: " : " files: ")
              << count - static_cast<std::int64_t>(failures.size()) << " applied, "
              << failures.size() << " failed\n";
    for (const std::string& failure : failures) {
        std::cout << "  failed: " << failure << "\n";
    }
    return failures.empty() ? applied : notAllApplied;
}

} // namespace

int main(int argc, char** argv) {
    HostArguments arguments;
    const Parsed parsed = parseHostArguments(argc, argv, arguments);
    if (parsed != Parsed::run) {
        return parsed == Parsed::done ? applied : usageError;
    }
    RunSettings run;
    if (const int status = prepare(arguments, run); status != applied) {
        return status;
    }
    std::vector<FileJob> jobs;
    if (const int status = planJobs(arguments, jobs); status != applied) {
        return status;
    }
    std::unique_ptr<ProgressBar> bar;
    if (!arguments.quiet && !arguments.verbose &&
        platform::isTerminal(platform::StandardStream::error)) {
        bar = std::make_unique<ProgressBar>(stderr);
    }
    return arguments.batch() ? runBatch(run, jobs, bar.get()) : runOne(run, jobs[0], bar.get());
}
