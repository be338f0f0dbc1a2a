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

// An option: its names ("" for no short one), what value it takes ("" for
// none) and what it does with it; false when the value will not do.
struct Option {
    const char* shortName;
    const char* longName;
    const char* needs;
    bool (*take)(HostArguments& a, const std::string& value);
};

constexpr Option kOptions[] = {
    {"-p", "--plugin", "a path",
     [](HostArguments& a, const std::string& v) {
         a.plugin = v;
         return true;
     }},
    {"-O", "--output-dir", "a directory",
     [](HostArguments& a, const std::string& v) {
         a.outputDir = v;
         return !v.empty();
     }},
    {"", "--format", "png or tiff",
     [](HostArguments& a, const std::string& v) {
         a.format = formatOfName("." + v);
         return a.format.has_value();
     }},
    {"", "--replace-input", "",
     [](HostArguments& a, const std::string&) {
         a.replaceInput = true;
         return true;
     }},
    {"-m", "--mask", "a path",
     [](HostArguments& a, const std::string& v) {
         a.mask = v;
         return true;
     }},
    {"-s", "--settings", "a text",
     [](HostArguments& a, const std::string& v) {
         a.lines.push_back("'SsPS' TEXT " + quoted(v));
         return true;
     }},
    {"-k", "--set", "a descriptor line",
     [](HostArguments& a, const std::string& v) {
         a.lines.push_back(v);
         return true;
     }},
    {"-d", "--descriptor-in", "a file",
     [](HostArguments& a, const std::string& v) {
         a.descriptorIn = v;
         return true;
     }},
    {"-o", "--descriptor-out", "a file",
     [](HostArguments& a, const std::string& v) {
         a.descriptorOut = v;
         return true;
     }},
    {"", "--play", "dialog, no-dialog or silent",
     [](HostArguments& a, const std::string& v) {
         a.playInfo = playMode(v);
         return a.playInfo.has_value();
     }},
    {"", "--dialog", "",
     [](HostArguments& a, const std::string&) {
         a.playInfo = hostapi::plugInDialogDisplay;
         return true;
     }},
    {"", "--silent", "",
     [](HostArguments& a, const std::string&) {
         a.playInfo = hostapi::plugInDialogSilent;
         return true;
     }},
    {"", "--repeat", "",
     [](HostArguments& a, const std::string&) {
         a.repeat = true;
         return true;
     }},
    {"", "--filter-rect", "L,T,R,B with R > L and B > T",
     [](HostArguments& a, const std::string& v) {
         hostapi::VRect rect{};
         if (!parseRect(v, rect)) {
             return false;
         }
         a.filterRect = rect;
         return true;
     }},
    {"", "--name", "a text",
     [](HostArguments& a, const std::string& v) {
         a.name = v;
         return true;
     }},
    {"", "--max-space", "a positive number of bytes",
     [](HostArguments& a, const std::string& v) {
         char* end = nullptr;
         a.maxSpace = std::strtoll(v.c_str(), &end, 10);
         return a.maxSpace > 0 && *end == '\0';
     }},
    {"-q", "--quiet", "",
     [](HostArguments& a, const std::string&) {
         a.quiet = true;
         return true;
     }},
    {"-v", "--verbose", "",
     [](HostArguments& a, const std::string&) {
         a.verbose = true;
         return true;
     }},
};

const Option* optionNamed(const std::string& name) {
    for (const Option& option : kOptions) {
        if (name == option.longName || (option.shortName[0] != '\0' && name == option.shortName)) {
            return &option;
        }
    }
    return nullptr;
}

// The inputs and the output (or the output directory of a batch), checked
// against the options that apply to one input only or to a batch only.
Parsed placeFiles(const std::vector<std::string>& positional, HostArguments& a) {
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

} // namespace

int reportUsageError(const std::string& message) {
    std::cerr << "solvanta-host: " << message << "\nTry solvanta-host --help.\n";
    return ExitStatus::usageError;
}

Parsed parseHostArguments(int argc, char** argv, HostArguments& a) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return Parsed::done;
        }
        if (arg == "--version") {
            std::cout << "solvanta-host " << solvanta::kVersion << "\n";
            return Parsed::done;
        }
        const Option* option = optionNamed(arg);
        if (option == nullptr && arg.size() > 1 && arg[0] == '-') {
            return failed("unknown option " + arg);
        }
        if (option == nullptr) {
            positional.push_back(arg);
            continue;
        }
        const bool takesValue = option->needs[0] != '\0';
        if (takesValue && i + 1 >= argc) {
            return failed(arg + " needs " + option->needs);
        }
        if (!option->take(a, takesValue ? argv[++i] : "")) {
            return failed(arg + " needs " + option->needs);
        }
    }
    return placeFiles(positional, a);
}

} // namespace host::cli
