#include "FileApplication.h"

#include "ExitStatus.h"
#include "host/DescriptorText.h"
#include "host/FilterHost.h"
#include "host/TextEncoding.h"

#include <filesystem>
#include <fstream>
#include <new>
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

FileOutcome apply(const RunSettings& run, const FileJob& job, const ProgressSink& progress) {
    const HostArguments& a = *run.arguments;
    ImageError error;
    const std::optional<FileImage> image = readImage(job.input, error);
    if (!image) {
        return imageFailure(error);
    }
    Document document = documentFromImage(*image);
    document.name = utf16FromUtf8(a.name ? *a.name : baseName(job.input));
    if (run.mask) {
        if (run.mask->width != image->width || run.mask->height != image->height) {
            return failure(usageError, job.input + ": the mask is not the size of the image");
        }
        document.setSelection(selectionFromImage(*run.mask));
    }
    if (a.filterRect) {
        const hostapi::VRect& r = *a.filterRect;
        if (r.left < 0 || r.top < 0 || r.right > document.width() || r.bottom > document.height()) {
            return failure(usageError, job.input + ": the filter rectangle leaves the image");
        }
        document.setFilterRect(r);
    }

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
    FilterHost host(std::move(document), options);
    std::string loadError;
    if (!host.loadPlugin(run.pluginPath, loadError)) {
        return failure(fileError, loadError);
    }
    host.setDescriptor(run.descriptor);
    ApplicationOptions application;
    application.parameters = !a.repeat;
    const ApplicationResult result = host.apply(application);
    FileOutcome outcome;
    outcome.faults = host.records().faults;
    if (result.result != 0) {
        outcome.status = pluginFailed;
        outcome.message = job.input + ": the plug-in failed with " + std::to_string(result.result) +
                          " (selector " + std::to_string(result.failedSelector) + ")";
        return outcome;
    }
    if (!a.descriptorOut.empty()) {
        std::ofstream file(a.descriptorOut, std::ios::binary);
        const std::optional<ActionDescriptor> recorded = host.recordedDescriptor();
        file << "# the descriptor the plug-in recorded\n";
        if (recorded) {
            file << descriptorToText(*recorded);
        }
        if (!file) {
            return failure(fileError, "cannot write " + a.descriptorOut);
        }
    }
    const std::optional<FileImage> out = imageFromDocument(host.document());
    if (!out) {
        return failure(unsupportedImage,
                       job.input + ": cannot write a document of this colour mode");
    }
    const std::string partial = job.output + ".partial";
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
