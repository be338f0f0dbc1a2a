// make demo: the product's main job on a picture of the project's own. A
// 16-bit landscape is painted, then solvanta-host applies the plug-in to it
// the way the host application would; the plug-in launches the reference
// server, whose scripted user edits the picture and accepts, and the edited
// image is written beside the original.

#include "Landscape.h"
#include "host/PngFile.h"
#include "ipc/ServerLaunch.h"
#include "platform/Environment.h"
#include "platform/Module.h"
#include "platform/Process.h"
#include "platform/Shortcut.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr int width = 1200;
constexpr int height = 800;
// What the scripted user does in the server's window: a warmer, livelier
// evening.
constexpr const char* edit = "exposure=0.1;contrast=1.15;saturation=1.4";

std::string quoted(const std::string& text) {
    return '"' + text + '"';
}

} // namespace

int main() {
    std::string self;
    if (!platform::moduleFileName(self, 4096)) {
        std::fprintf(stderr, "solvanta-demo: cannot tell where it runs from\n");
        return 1;
    }
    namespace fs = std::filesystem;
    const fs::path bin = fs::path(self).parent_path();
    const fs::path folder = fs::weakly_canonical(bin / ".." / "demo");
    fs::create_directories(folder);
    const fs::path input = folder / "landscape.png";
    const fs::path output = folder / "landscape-edited.png";

    host::ImageError error;
    if (!host::writePng(input.string(), demo::paintLandscape(width, height), error)) {
        std::fprintf(stderr, "solvanta-demo: %s\n", error.text.c_str());
        return 1;
    }
    // The plug-in finds its server through the shortcut beside it, as an
    // installation leaves it.
    const fs::path server = bin / ("solvanta-server" + std::string(platform::kExecutableSuffix));
    const fs::path shortcut =
        bin / (std::string(ipc::serverLocation::maker) + " " + ipc::serverLocation::product +
               ipc::serverLocation::shortcutExtension);
    if (!fs::exists(shortcut) && !platform::createShortcut(shortcut.string(), server.string())) {
        std::fprintf(stderr, "solvanta-demo: cannot place the server's shortcut %s\n",
                     shortcut.string().c_str());
        return 1;
    }
    platform::setEnvironmentVariable("SOLVANTA_SERVER_EDIT", edit);
    platform::setEnvironmentVariable("SOLVANTA_SERVER_PREVIEW", "1");
    platform::setEnvironmentVariable("SOLVANTA_SERVER_DELAY_MS", "700");

    const fs::path hostProgram = bin / ("solvanta-host" + std::string(platform::kExecutableSuffix));
    const std::string arguments =
        "--name \"Lakeside evening\" " + quoted(input.string()) + " " + quoted(output.string());
    std::printf("Solvanta demo: the filter applied to a picture of the project's own\n"
                "  picture:  %s (%d x %d, 16-bit RGB)\n"
                "  the user: %s, in the server's window\n"
                "  running:  %s %s\n",
                input.string().c_str(), width, height, edit, hostProgram.string().c_str(),
                arguments.c_str());
    std::fflush(stdout);
    const platform::LaunchResult launched = platform::launch(hostProgram.string(), arguments);
    std::uint32_t code = 1;
    if (!launched.process || !launched.process->waitForExit(120000) ||
        !launched.process->exitCode(code) || code != 0) {
        std::fprintf(stderr, "solvanta-demo: solvanta-host did not apply the filter (exit %u)\n",
                     code);
        return 1;
    }
    std::printf("  result:   %s\n", output.string().c_str());
    return 0;
}
