// solvanta-host: applies a filter plug-in to a PNG image the way the host
// application would, and writes the result.

#include "ProgressBar.h"
#include "host/DescriptorText.h"
#include "host/FilterHost.h"
#include "host/PngFile.h"
#include "host/TextEncoding.h"
#include "platform/Module.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace host;

constexpr const char* kUsage = R"(Usage: solvanta-host [options] INPUT.png OUTPUT.png

Applies a filter plug-in to a PNG image (8 or 16 bits per sample, gray or
RGB, with or without alpha) as the host application would: Parameters,
Prepare, Start, Continue while the plug-in asks for pixels, Finish. The
result is written as a PNG of the same depth. An alpha channel becomes the
layer's transparency. 16-bit samples are scaled to the host's 0..32768 and
back.

Options:
  -p, --plugin PATH        the plug-in library; default: the product's plug-in
                           beside this program (Solvanta.8bf on Windows,
                           libSolvanta.so or Solvanta.so elsewhere)
  -m, --mask PATH          a selection: a PNG of the image's size whose first
                           channel is the selection (255 = selected)
  -s, --settings TEXT      the filter's settings text, handed over in the
                           replayed descriptor under 'SsPS' as TEXT
                           (the same as --set "'SsPS' TEXT \"TEXT\"")
  -k, --set LINE           one descriptor entry in the descriptor file form,
                           e.g. --set "'Intn' long 75"; may be repeated
  -d, --descriptor-in FILE replay the descriptor in FILE (see below); --set
                           and --settings entries are added to it
  -o, --descriptor-out FILE
                           write the descriptor the plug-in recorded to FILE
      --play MODE          how the replayed descriptor asks for the dialog:
                           dialog (show it; the default), no-dialog (only if
                           the parameters are missing) or silent (never)
      --dialog             the same as --play dialog
      --silent             the same as --play silent
      --repeat             skip the Parameters call, as the repeat-filter
                           command does
      --filter-rect L,T,R,B
                           filter only this rectangle (left, top, right,
                           bottom; right and bottom exclusive), as for a
                           layer smaller than the canvas
      --name TEXT          the document name (default: the input file name)
      --max-space BYTES    the memory the host offers (default 1073741824)
  -q, --quiet              no progress bar
  -v, --verbose            trace every selector and pixel delivery on stderr
                           (instead of the progress bar)
  -h, --help               this text

Descriptor files hold one entry a line: 'KEY' TYPE VALUE, for example
  'Intn' long 75
  'Ssps' doub 0.25
  'SEmo' bool true
  'SEna' TEXT "Soft \"glow\""
  'Wdth' UntF '#Pxl' 12.5
  'Mthd' enum 'Mthd' 'Fst '
Texts are UTF-8 in double quotes with the escapes \" \\ \n \t \uXXXX; lines
starting with # are comments.

Exit status: 0 when the filter was applied, 1 when the plug-in failed (its
result code is printed), 2 for a usage or file error.
)";

struct Arguments {
    std::string input;
    std::string output;
    std::string plugin;
    std::string mask;
    std::string descriptorIn;
    std::string descriptorOut;
    std::vector<std::string> lines;
    std::int16_t playInfo = hostapi::plugInDialogDisplay;
    bool repeat = false;
    std::optional<hostapi::VRect> filterRect;
    std::optional<std::string> name;
    std::int64_t maxSpace = std::int64_t{1} << 30;
    bool quiet = false;
    bool verbose = false;
};

int usageError(const std::string& message) {
    std::cerr << "solvanta-host: " << message << "\nTry solvanta-host --help.\n";
    return 2;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
        }
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out.push_back(c);
    }
    return out + "\"";
}

bool parseRect(const std::string& text, hostapi::VRect& rect) {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d,%d,%d,%d%c", &left, &top, &right, &bottom, &tail) != 4) {
        return false;
    }
    rect = rectLTRB(left, top, right, bottom);
    return !isEmpty(rect);
}

// 0: parsed; 1: help shown; 2: usage error (reported).
int parseArguments(int argc, char** argv, Arguments& a) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 1;
        }
        if (arg == "-p" || arg == "--plugin") {
            if (!value(a.plugin)) {
                return usageError(arg + " needs a path");
            }
        } else if (arg == "-m" || arg == "--mask") {
            if (!value(a.mask)) {
                return usageError(arg + " needs a path");
            }
        } else if (arg == "-s" || arg == "--settings") {
            if (!value(v)) {
                return usageError(arg + " needs a text");
            }
            a.lines.push_back("'SsPS' TEXT " + quoted(v));
        } else if (arg == "-k" || arg == "--set") {
            if (!value(v)) {
                return usageError(arg + " needs a descriptor line");
            }
            a.lines.push_back(v);
        } else if (arg == "-d" || arg == "--descriptor-in") {
            if (!value(a.descriptorIn)) {
                return usageError(arg + " needs a file");
            }
        } else if (arg == "-o" || arg == "--descriptor-out") {
            if (!value(a.descriptorOut)) {
                return usageError(arg + " needs a file");
            }
        } else if (arg == "--play") {
            if (!value(v)) {
                return usageError("--play needs dialog, no-dialog or silent");
            }
            if (v == "dialog") {
                a.playInfo = hostapi::plugInDialogDisplay;
            } else if (v == "no-dialog") {
                a.playInfo = hostapi::plugInDialogDontDisplay;
            } else if (v == "silent") {
                a.playInfo = hostapi::plugInDialogSilent;
            } else {
                return usageError("--play needs dialog, no-dialog or silent");
            }
        } else if (arg == "--dialog") {
            a.playInfo = hostapi::plugInDialogDisplay;
        } else if (arg == "--silent") {
            a.playInfo = hostapi::plugInDialogSilent;
        } else if (arg == "--repeat") {
            a.repeat = true;
        } else if (arg == "--filter-rect") {
            hostapi::VRect rect{};
            if (!value(v) || !parseRect(v, rect)) {
                return usageError("--filter-rect needs L,T,R,B with R > L and B > T");
            }
            a.filterRect = rect;
        } else if (arg == "--name") {
            if (!value(v)) {
                return usageError("--name needs a text");
            }
            a.name = v;
        } else if (arg == "--max-space") {
            char* end = nullptr;
            if (!value(v) || (a.maxSpace = std::strtoll(v.c_str(), &end, 10)) <= 0 ||
                *end != '\0') {
                return usageError("--max-space needs a positive number of bytes");
            }
        } else if (arg == "-q" || arg == "--quiet") {
            a.quiet = true;
        } else if (arg == "-v" || arg == "--verbose") {
            a.verbose = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        return usageError("expected an input and an output image");
    }
    a.input = positional[0];
    a.output = positional[1];
    return 0;
}

bool fileExists(const std::string& path) {
    return static_cast<bool>(std::ifstream(path));
}

// The product's plug-in beside this program.
std::string defaultPlugin() {
    std::string self;
    if (!platform::moduleFileName(self, 4096)) {
        return {};
    }
    const std::size_t slash = self.find_last_of("/\\");
    const std::string directory = slash == std::string::npos ? "." : self.substr(0, slash);
    std::istringstream names(SOLVANTA_DEFAULT_PLUGINS);
    std::string name;
    std::string first;
    while (std::getline(names, name, ':')) {
        std::string path = directory;
        path += platform::kPathSeparator;
        path += name;
        if (first.empty()) {
            first = path;
        }
        if (fileExists(path)) {
            return path;
        }
    }
    return first;
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int run(const Arguments& a) {
    std::string error;
    const std::optional<PngImage> png = readPng(a.input, error);
    if (!png) {
        std::cerr << "solvanta-host: " << error << "\n";
        return 2;
    }
    Document document = documentFromPng(*png);
    document.name = utf16FromUtf8(a.name ? *a.name : baseName(a.input));
    if (!a.mask.empty()) {
        const std::optional<PngImage> mask = readPng(a.mask, error);
        if (!mask) {
            std::cerr << "solvanta-host: " << error << "\n";
            return 2;
        }
        if (mask->width != png->width || mask->height != png->height) {
            std::cerr << "solvanta-host: the mask is not the size of the image\n";
            return 2;
        }
        document.setSelection(selectionFromPng(*mask));
    }
    if (a.filterRect) {
        const hostapi::VRect& r = *a.filterRect;
        if (r.left < 0 || r.top < 0 || r.right > document.width() || r.bottom > document.height()) {
            std::cerr << "solvanta-host: the filter rectangle leaves the image\n";
            return 2;
        }
        document.setFilterRect(r);
    }

    std::optional<ActionDescriptor> descriptor;
    if (!a.descriptorIn.empty()) {
        std::ifstream file(a.descriptorIn, std::ios::binary);
        if (!file) {
            std::cerr << "solvanta-host: cannot read " << a.descriptorIn << "\n";
            return 2;
        }
        std::stringstream text;
        text << file.rdbuf();
        descriptor.emplace();
        if (!descriptorFromText(text.str(), *descriptor, error)) {
            std::cerr << "solvanta-host: " << a.descriptorIn << ", " << error << "\n";
            return 2;
        }
    }
    for (const std::string& line : a.lines) {
        if (!descriptor) {
            descriptor.emplace();
        }
        if (!addDescriptorLine(line, *descriptor, error)) {
            std::cerr << "solvanta-host: " << line << ": " << error << "\n";
            return 2;
        }
    }

    std::unique_ptr<ProgressBar> bar;
    if (!a.quiet && !a.verbose) {
        bar = std::make_unique<ProgressBar>(stderr);
    }
    HostOptions options;
    options.maxSpace = a.maxSpace;
    options.playInfo = a.playInfo;
    // A user at the console sees the plug-in's message boxes themselves.
    options.watchMessageBoxes = false;
    if (bar) {
        options.onProgress = [&bar](std::int32_t done, std::int32_t total) {
            bar->update(done, total);
        };
    }
    if (a.verbose) {
        options.trace = [](const std::string& line) { std::cerr << "host: " << line << "\n"; };
    }
    FilterHost host(std::move(document), options);
    const std::string plugin = a.plugin.empty() ? defaultPlugin() : a.plugin;
    if (!host.loadPlugin(plugin, error)) {
        std::cerr << "solvanta-host: " << error << "\n";
        return 2;
    }
    host.setDescriptor(descriptor);
    ApplicationOptions application;
    application.parameters = !a.repeat;
    const ApplicationResult result = host.apply(application);
    bar.reset();
    for (const std::string& fault : host.records().faults) {
        std::cerr << "solvanta-host: warning: " << fault << "\n";
    }
    if (result.result != 0) {
        std::cerr << "solvanta-host: the plug-in failed with " << result.result << " (selector "
                  << result.failedSelector << ")\n";
        return 1;
    }
    if (!a.descriptorOut.empty()) {
        std::ofstream file(a.descriptorOut, std::ios::binary);
        const std::optional<ActionDescriptor> recorded = host.recordedDescriptor();
        file << "# the descriptor the plug-in recorded\n";
        if (recorded) {
            file << descriptorToText(*recorded);
        }
        if (!file) {
            std::cerr << "solvanta-host: cannot write " << a.descriptorOut << "\n";
            return 2;
        }
    }
    const std::optional<PngImage> out = pngFromDocument(host.document());
    if (!out || !writePng(a.output, *out, error)) {
        std::cerr << "solvanta-host: " << (out ? error : "cannot write this document") << "\n";
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    const int parsed = parseArguments(argc, argv, arguments);
    if (parsed == 1) {
        return 0;
    }
    if (parsed != 0) {
        return parsed;
    }
    return run(arguments);
}
