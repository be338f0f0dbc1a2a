#include "FileApplication.h"

#include "ExitStatus.h"
#include "host/DescriptorText.h"
#include "host/FilterHost.h"
#include "text/Unicode.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <system_error>

namespace host::cli {

namespace {

namespace fs = std::filesystem;

FileOutcome failure(int status, std::string message) {
    FileOutcome outcome;
    outcome.status = status;
    outcome.message = std::move(message);
    return outcome;
}

FileOutcome imageFailure(const ImageError& error) {
    return failure(statusOf(error), error.text);
}

std::string baseName(const std::string& path) {
    return fs::path(path).filename().string();
}

// The input as a document, with the run's name, mask and filter rectangle;
// a message naming the input when these do not fit it.
std::optional<Document> documentOf(const RunSettings& run, const FileJob& job,
                                   const FileImage& image, std::string& problem) {
    const HostArguments& a = *run.arguments;
    Document document = documentFromImage(image);
    document.name = text::utf16FromUtf8(a.name ? *a.name : baseName(job.input));
    if (run.mask) {
        if (run.mask->width != image.width || run.mask->height != image.height) {
            problem = job.input + ": the mask is not the size of the image";
            return std::nullopt;
        }
        document.setSelection(selectionFromImage(*run.mask));
    }
    if (a.filterRect) {
        const hostapi::VRect& r = *a.filterRect;
        if (r.left < 0 || r.top < 0 || r.right > document.width() || r.bottom > document.height()) {
            problem = job.input + ": the filter rectangle leaves the image";
            return std::nullopt;
        }
        document.setFilterRect(r);
    }
    return document;
}

HostOptions hostOptionsOf(const HostArguments& a, const ProgressSink& progress) {
    HostOptions options;
    options.maxSpace = a.maxSpace;
    options.playInfo = a.play();
    // A user at the console sees the plug-in's message boxes themselves.
    options.watchMessageBoxes = false;
    options.onProgress = progress;
    if (a.verbose) {
        options.trace = [](const std::string& line) {
            std::fprintf(stderr, "host: %s\n", line.c_str());
        };
    }
    return options;
}

bool writeRecordedDescriptor(const std::string& path,
                             const std::optional<ActionDescriptor>& recorded) {
    std::ofstream file(path, std::ios::binary);
    file << "# the descriptor the plug-in recorded\n";
    if (recorded) {
        file << descriptorToText(*recorded);
    }
    return static_cast<bool>(file);
}

// The output appears only complete: written beside it, then renamed.
FileOutcome writeResult(const FileJob& job, const Document& document) {
    const std::optional<FileImage> out = imageFromDocument(document);
    if (!out) {
        return failure(unsupportedImage,
                       job.input + ": cannot write a document of this colour mode");
    }
    const std::string partial = job.output + ".partial";
    ImageError error;
    if (!writeImage(partial, job.format, *out, error)) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        error.text = "cannot write " + job.output +
                     (error.kind == ImageFailure::unsupported ? ": " + error.text : "");
        return imageFailure(error);
    }
    std::error_code renamed;
    fs::rename(partial, job.output, renamed);
    if (renamed) {
        fs::remove(partial, renamed);
        return failure(fileError, "cannot write " + job.output + ": " + renamed.message());
    }
    return FileOutcome{};
}

FileOutcome apply(const RunSettings& run, const FileJob& job, const ProgressSink& progress) {
    const HostArguments& a = *run.arguments;
    ImageError error;
    const std::optional<FileImage> image = readImage(job.input, error);
    if (!image) {
        return imageFailure(error);
    }
    std::string problem;
    std::optional<Document> document = documentOf(run, job, *image, problem);
    if (!document) {
        return failure(usageError, problem);
    }
    FilterHost host(std::move(*document), hostOptionsOf(a, progress));
    std::string loadError;
    if (!host.loadPlugin(run.pluginPath, loadError)) {
        return failure(fileError, loadError);
    }
    host.setDescriptor(run.descriptor);
    ApplicationOptions application;
    application.parameters = !a.repeat;
    const ApplicationResult result = host.apply(application);
    if (result.result != 0) {
        FileOutcome outcome = failure(
            pluginFailed, job.input + ": the plug-in failed with " + std::to_string(result.result) +
                              " (selector " + std::to_string(result.failedSelector) + ")");
        outcome.faults = host.records().faults;
        return outcome;
    }
    if (!a.descriptorOut.empty() &&
        !writeRecordedDescriptor(a.descriptorOut, host.recordedDescriptor())) {
        return failure(fileError, "cannot write " + a.descriptorOut);
    }
    FileOutcome outcome = writeResult(job, host.document());
    if (outcome.status == applied) {
        outcome.faults = host.records().faults;
    }
    return outcome;
}

} // namespace

FileOutcome applyToFile(const RunSettings& run, const FileJob& job, const ProgressSink& progress) {
    try {
        return apply(run, job, progress);
    } catch (const std::bad_alloc&) {
        return failure(unsupportedImage, job.input + ": too large for the memory at hand");
    } catch (const std::exception& e) {
        return failure(fileError, job.input + ": " + e.what());
    }
}

} // namespace host::cli
