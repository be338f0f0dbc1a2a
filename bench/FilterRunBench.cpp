// One whole application of the filter to a 100-megapixel RGB document at 16
// bits: the host stand-in with the plug-in library in this process, the
// reference server as a second process that reads and writes every tile once
// with an identity edit, no dialog. Timed from Start to Finish and set
// against four memcpy of the document's bytes in this process, the copies
// that no design avoids: host to input buffer, input buffer to shared
// memory, shared memory to output buffer, output buffer to host. The minor
// page faults of this process over the same span tell whether anything is
// mapped or allocated again for every tile.
#include "host/Document.h"
#include "host/FilterHost.h"
#include "ipc/ServerLaunch.h"
#include "platform/Environment.h"
#include "platform/Shortcut.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int documentWidth = 12000;
constexpr int documentHeight = 8334;
constexpr int tileEdges[] = {256, 1024, 4096};

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The plug-in finds the server through the shortcut beside it, as the
// product's installation places it.
bool placeServerShortcut(const std::filesystem::path& bin) {
    const std::filesystem::path shortcut =
        bin / (std::string(ipc::serverLocation::maker) + " " + ipc::serverLocation::product +
               ipc::serverLocation::shortcutExtension);
    std::error_code ignored;
    std::filesystem::remove(shortcut, ignored);
    return platform::createShortcut(shortcut.string(), (bin / "solvanta-server").string());
}

// Every sample differs from its neighbours, so a tile written to the wrong
// place shows.
host::Document patternedDocument() {
    host::Document document = host::Document::rgb(documentWidth, documentHeight, 16);
    auto* samples = reinterpret_cast<std::uint16_t*>(document.data());
    const std::size_t count = document.rowBytes() / 2 * static_cast<std::size_t>(documentHeight);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<std::uint16_t>((i * 2654435761U >> 7) % 32769U);
    }
    return document;
}

// Four copies of the document's bytes between two buffers whose pages are
// already in place, as the tile buffers of a run are after the first tile.
double fourCopies(const host::Document& document) {
    const std::size_t bytes = document.rowBytes() * static_cast<std::size_t>(document.height());
    std::vector<std::uint8_t> first(document.data(), document.data() + bytes);
    std::vector<std::uint8_t> second(bytes, 0);
    const Clock::time_point start = Clock::now();
    std::memcpy(second.data(), first.data(), bytes);
    std::memcpy(first.data(), second.data(), bytes);
    std::memcpy(second.data(), first.data(), bytes);
    std::memcpy(first.data(), second.data(), bytes);
    const double elapsed = millisecondsSince(start);
    if (std::memcmp(first.data(), document.data(), bytes) != 0) {
        std::fprintf(stderr, "bench_filter_run: memcpy lost bytes\n");
    }
    return elapsed;
}

struct RunFigures {
    bool ok = false;
    double milliseconds = 0;
    long faults = 0;
    int tilesRead = 0;
    int tilesWritten = 0;
};

// One application with the server cutting the document into tiles of `edge`
// pixels: Parameters and Prepare first, then Start to Finish measured.
RunFigures applyOnce(const host::Document& original, const std::string& plugin, int edge) {
    RunFigures figures;
    platform::setEnvironmentVariable("SOLVANTA_SERVER_TILE", std::to_string(edge));
    host::HostOptions options;
    options.playInfo = hostapi::plugInDialogDontDisplay;
    host::FilterHost host(original, options);
    std::string error;
    if (!host.loadPlugin(plugin, error)) {
        std::fprintf(stderr, "bench_filter_run: %s\n", error.c_str());
        return figures;
    }
    host.beginApplication();
    bool ok = host.callSelector(hostapi::filterSelectorParameters) == 0 &&
              host.callSelector(hostapi::filterSelectorPrepare) == 0;

    const long faultsBefore = minorFaults();
    const Clock::time_point start = Clock::now();
    ok = ok && host.callSelector(hostapi::filterSelectorStart) == 0;
    while (ok && host.requestPending()) {
        ok = host.deliverRequest() == 0 && host.callSelector(hostapi::filterSelectorContinue) == 0;
    }
    ok = host.callSelector(hostapi::filterSelectorFinish) == 0 && ok;
    figures.milliseconds = millisecondsSince(start);
    figures.faults = minorFaults() - faultsBefore;
    host.endApplication();

    for (const host::AdvanceStateCall& call : host.records().advanceStates) {
        if (!call.betweenCalls && call.result == 0) {
            figures.tilesRead += host::isEmpty(call.inRect) ? 0 : 1;
            figures.tilesWritten += host::isEmpty(call.outRect) ? 0 : 1;
        }
    }
    const std::size_t bytes = original.rowBytes() * static_cast<std::size_t>(original.height());
    const bool unchanged = std::memcmp(host.document().data(), original.data(), bytes) == 0;
    if (!unchanged) {
        std::fprintf(stderr, "bench_filter_run: the identity edit changed the document\n");
    }
    for (const auto& box : host.messageBoxes()) {
        std::fprintf(stderr, "bench_filter_run: message box %s: %s\n", box.title.c_str(),
                     box.text.c_str());
    }
    figures.ok = ok && unchanged && host.records().faults.empty();
    return figures;
}

} // namespace

// With tile edges as arguments, only those are run.
int main(int argc, char** argv) {
    const std::filesystem::path bin = std::filesystem::absolute(argv[0]).parent_path();
    if (!placeServerShortcut(bin)) {
        std::fprintf(stderr, "bench_filter_run: cannot place the server's shortcut in %s\n",
                     bin.c_str());
        return 1;
    }
    // Named objects of this run stay apart from any other's.
    platform::setEnvironmentVariable("SOLVANTA_OBJECT_NAMESPACE",
                                     "bench" + std::to_string(getpid()));

    const host::Document original = patternedDocument();
    const double megabytes =
        static_cast<double>(original.rowBytes()) * original.height() / (1024.0 * 1024.0);
    const double copies = fourCopies(original);
    std::printf("Whole filter run, %d x %d RGB 16-bit (%.0f MiB), identity edit, no dialog:\n",
                documentWidth, documentHeight, megabytes);
    std::printf("  %-34s %8.1f ms\n", "four memcpy of the document", copies);

    std::vector<int> edges(std::begin(tileEdges), std::end(tileEdges));
    if (argc > 1) {
        edges.clear();
        for (int i = 1; i < argc; ++i) {
            // The server's tiles are 1 to 4096 pixels wide.
            edges.push_back(std::clamp(std::atoi(argv[i]), 1, 4096));
        }
    }
    bool allOk = true;
    for (const int edge : edges) {
        const RunFigures run = applyOnce(original, (bin / "Solvanta.so").string(), edge);
        // Every tile read once and written once.
        const int tiles =
            ((documentWidth + edge - 1) / edge) * ((documentHeight + edge - 1) / edge);
        const bool ok = run.ok && run.tilesRead == tiles && run.tilesWritten == tiles;
        allOk = allOk && ok;
        char what[64];
        std::snprintf(what, sizeof what, "tile edge %4d, %5d tiles", edge, run.tilesRead);
        std::printf("  %-34s %8.1f ms   %5.2f x memcpy   minor faults %7ld (%.1f per tile)%s\n",
                    what, run.milliseconds, run.milliseconds / copies, run.faults,
                    run.tilesRead > 0 ? static_cast<double>(run.faults) / run.tilesRead : 0.0,
                    ok ? "" : "   FAILED");
    }
    return allOk ? 0 : 1;
}
