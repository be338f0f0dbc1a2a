#include "HostArguments.h"

#include "ExitStatus.h"
#include "SolvantaVersion.h"
#include "host/Document.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace host::cli {

namespace {

constexpr const char* kUsage = R"(Usage: solvanta-host [options] INPUT OUTPUT
       solvanta-host [options] --output-dir DIR INPUT...

Applies a filter plug-in to an image as the host application would:
Parameters, Prepare, Start, Continue while the plug-in asks for pixels,
Finish. The second form is a batch: the same settings (typically a recorded
descriptor, -d) applied to every INPUT in turn, each result written into DIR
under the input's file name; a file that fails is reported and the others
are still done.

Images are PNG or TIFF (TIFF only where the build has it: not on Windows),
gray or RGB, 8 or 16 bits per sample, with or without alpha; the output has
the input's depth and channels, in the format of its file name's extension
(.png, .tif, .tiff). An alpha channel becomes the layer's transparency. The
file's ICC profile is handed to the document and written into the output.
16-bit samples are scaled to the host's 0..32768 and back.

Options:
  -p, --plugin PATH        the plug-in library; default: the product's plug-in
                           beside this program (Solvanta.8bf on Windows,
                           libSolvanta.so or Solvanta.so elsewhere)
  -O, --output-dir DIR     batch: write each result into DIR
      --format png|tiff    batch: write the results in this format instead
                           of the input's
      --replace-input      let an output replace its input file (without it,
                           that is refused)
  -m, --mask PATH          a selection: an image of the input's size whose
                           first channel is the selection (255 = selected)
  -s, --settings TEXT      the filter's settings text, handed over in the
                           replayed descriptor under 'SsPS' as TEXT
                           (the same as --set "'SsPS' TEXT \"TEXT\"")
  -k, --set LINE           one descriptor entry in the descriptor file form,
                           e.g. --set "'Intn' long 75"; may be repeated
  -d, --descriptor-in FILE replay the descriptor in FILE (see below); --set
                           and --settings entries are added to it
  -o, --descriptor-out FILE
                           write the descriptor the plug-in recorded to FILE
                           (one INPUT only)
      --play MODE          how the replayed descriptor asks for the dialog:
                           dialog (show it; the default for one INPUT),
                           no-dialog (only if the parameters are missing; the
                           default for a batch) or silent (never)
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
  -q, --quiet              no progress bar and, in a batch, no line per file
  -v, --verbose            trace every selector and pixel delivery on stderr
                           (instead of the progress bar)
      --version            the version of this program
  -h, --help               this text

The progress bar is drawn only when standard error is a terminal. A batch
writes one line per file to standard error and a summary to standard output.

Descriptor files hold one entry a line: 'KEY' TYPE VALUE, for example
  'Intn' long 75
  'Ssps' doub 0.25
  'SEmo' bool true
  'SEna' TEXT "Soft \"glow\""
  'Wdth' UntF '#Pxl' 12.5
  'Mthd' enum 'Mthd' 'Fst '
Texts are UTF-8 in double quotes with the escapes \" \\ \n \t \uXXXX; lines
starting with # are comments. -o writes this form.

Exit status:
  0  the filter was applied (in a batch: to every file)
  1  the plug-in failed (its result code is printed)
  2  a usage error, or an output that would replace its input
  3  a file could not be read or written: missing, damaged, not writable
  4  an image of a kind this host does not handle: CMYK, Lab, palette,
     floating point, other depths, more than one extra channel, a format
     other than PNG and TIFF
  5  a batch in which some files were not applied (the summary lists them)
)";

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

std::optional<std::int16_t> playMode(const std::string& text) {
    if (text == "dialog") {
        return hostapi::plugInDialogDisplay;
    }
    if (text == "no-dialog") {
        return hostapi::plugInDialogDontDisplay;
    }
    if (text == "silent") {
        return hostapi::plugInDialogSilent;
    }
    return std::nullopt;
}

Parsed failed(const std::string& message) {
    reportUsageError(message);
    return Parsed::failed;
}

} // namespace

int reportUsageError(const std::string& message) {
    std::cerr << "solvanta-host: " << message << "\nTry solvanta-host --help.\n";
    return ExitStatus::usageError;
}

Parsed parseHostArguments(int argc, char** argv, HostArguments& a) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return Parsed::done;
        }
        if (arg == "--version") {
            std::cout << "solvanta-host " << solvanta::kVersion << "\n";
            return Parsed::done;
        }
        if (arg == "-p" || arg == "--plugin") {
            if (!value(a.plugin)) {
                return failed(arg + " needs a path");
            }
        } else if (arg == "-O" || arg == "--output-dir") {
            if (!value(a.outputDir) || a.outputDir.empty()) {
                return failed(arg + " needs a directory");
            }
        } else if (arg == "--format") {
            if (!value(v) || !formatOfName("." + v)) {
                return failed("--format needs png or tiff");
            }
            a.format = formatOfName("." + v);
        } else if (arg == "--replace-input") {
            a.replaceInput = true;
        } else if (arg == "-m" || arg == "--mask") {
            if (!value(a.mask)) {
                return failed(arg + " needs a path");
            }
        } else if (arg == "-s" || arg == "--settings") {
            if (!value(v)) {
                return failed(arg + " needs a text");
            }
            a.lines.push_back("'SsPS' TEXT " + quoted(v));
        } else if (arg == "-k" || arg == "--set") {
            if (!value(v)) {
                return failed(arg + " needs a descriptor line");
            }
            a.lines.push_back(v);
        } else if (arg == "-d" || arg == "--descriptor-in") {
            if (!value(a.descriptorIn)) {
                return failed(arg + " needs a file");
            }
        } else if (arg == "-o" || arg == "--descriptor-out") {
            if (!value(a.descriptorOut)) {
                return failed(arg + " needs a file");
            }
        } else if (arg == "--play") {
            if (!value(v) || !playMode(v)) {
                return failed("--play needs dialog, no-dialog or silent");
            }
            a.playInfo = playMode(v);
        } else if (arg == "--dialog") {
            a.playInfo = hostapi::plugInDialogDisplay;
        } else if (arg == "--silent") {
            a.playInfo = hostapi::plugInDialogSilent;
        } else if (arg == "--repeat") {
            a.repeat = true;
        } else if (arg == "--filter-rect") {
            hostapi::VRect rect{};
            if (!value(v) || !parseRect(v, rect)) {
                return failed("--filter-rect needs L,T,R,B with R > L and B > T");
            }
            a.filterRect = rect;
        } else if (arg == "--name") {
            if (!value(v)) {
                return failed("--name needs a text");
            }
            a.name = v;
        } else if (arg == "--max-space") {
            char* end = nullptr;
            if (!value(v) || (a.maxSpace = std::strtoll(v.c_str(), &end, 10)) <= 0 ||
                *end != '\0') {
                return failed("--max-space needs a positive number of bytes");
            }
        } else if (arg == "-q" || arg == "--quiet") {
            a.quiet = true;
        } else if (arg == "-v" || arg == "--verbose") {
            a.verbose = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return failed("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (a.batch()) {
        if (positional.empty()) {
            return failed("--output-dir needs at least one input image");
        }
        if (!a.descriptorOut.empty() || a.name) {
            return failed("--descriptor-out and --name are for one INPUT, not a batch");
        }
        a.inputs = positional;
        return Parsed::run;
    }
    if (a.format) {
        return failed("--format is for a batch; name the OUTPUT with the extension instead");
    }
    if (positional.size() != 2) {
        return failed("expected an input and an output image (or --output-dir DIR INPUT...)");
    }
    a.inputs = {positional[0]};
    a.output = positional[1];
    return Parsed::run;
}

} // namespace host::cli
