#include "host/TiffFile.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace host {

namespace {

// Larger images are taken for a damaged header rather than tried.
constexpr std::uint64_t kMaxSamples = std::uint64_t{1} << 31;
constexpr double kCentimetresPerInch = 2.54;

// The library reports through handlers; the first error of a file is kept
// for the message, warnings (unknown tags and the like) are dropped.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
int keepFirstError(TIFF* /*tiff*/, void* userData, const char* /*module*/, const char* format,
                   va_list arguments) {
    auto* message = static_cast<std::string*>(userData);
    if (message->empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, arguments);
        *message = text;
    }
    return 1;
}
#pragma GCC diagnostic pop

int ignoreWarning(TIFF* /*tiff*/, void* /*userData*/, const char* /*module*/,
                  const char* /*format*/, va_list /*arguments*/) {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// `message` receives the library's first error and must outlive the handle.
TiffHandle openTiff(const std::string& path, const char* mode, std::string& message) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, keepFirstError, &message);
    TIFFOpenOptionsSetWarningHandlerExtR(options, ignoreWarning, nullptr);
    TiffHandle tiff(TIFFOpenExt(path.c_str(), mode, options));
    TIFFOpenOptionsFree(options);
    return tiff;
}

std::string photometricProblem(std::uint16_t photometric) {
    switch (photometric) {
    case PHOTOMETRIC_SEPARATED:
        return "CMYK images are not supported";
    case PHOTOMETRIC_PALETTE:
        return "indexed-colour (palette) images are not supported";
    case PHOTOMETRIC_MINISWHITE:
        return "min-is-white gray images are not supported";
    case PHOTOMETRIC_YCBCR:
        return "YCbCr images are not supported";
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
        return "Lab images are not supported";
    default:
        return "photometric interpretation " + std::to_string(photometric) + " is not supported";
    }
}

struct Layout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t channels = 0;
    std::uint16_t bytesPerSample = 0;
    bool planar = false;
};

// Strips or tiles, chunky or one plane at a time, into interleaved samples.
bool readBlocks(TIFF* tiff, const Layout& layout, FileImage& image) {
    const bool tiled = TIFFIsTiled(tiff) != 0;
    std::uint32_t blockWidth = layout.width;
    std::uint32_t blockHeight = 0;
    if (tiled) {
        if (TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &blockWidth) != 1 ||
            TIFFGetField(tiff, TIFFTAG_TILELENGTH, &blockHeight) != 1) {
            return false;
        }
    } else {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &blockHeight);
        blockHeight = std::min(blockHeight, layout.height);
    }
    const tmsize_t blockBytes = tiled ? TIFFTileSize(tiff) : TIFFStripSize(tiff);
    if (blockWidth == 0 || blockHeight == 0 || blockBytes <= 0) {
        return false;
    }
    const std::uint16_t planes = layout.planar ? layout.channels : 1;
    const std::uint16_t perPixel = layout.planar ? 1 : layout.channels;
    const std::size_t sampleBytes = layout.bytesPerSample;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(blockBytes));
    for (std::uint16_t plane = 0; plane < planes; ++plane) {
        for (std::uint32_t top = 0; top < layout.height; top += blockHeight) {
            for (std::uint32_t left = 0; left < layout.width; left += blockWidth) {
                const tmsize_t got =
                    tiled ? TIFFReadTile(tiff, block.data(), left, top, 0, plane)
                          : TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, top, plane),
                                                 block.data(), blockBytes);
                if (got < 0) {
                    return false;
                }
                const std::uint32_t rows = std::min(blockHeight, layout.height - top);
                const std::uint32_t columns = std::min(blockWidth, layout.width - left);
                for (std::uint32_t r = 0; r < rows; ++r) {
                    for (std::uint32_t c = 0; c < columns; ++c) {
                        for (std::uint16_t s = 0; s < perPixel; ++s) {
                            const std::size_t at =
                                ((std::size_t{r} * blockWidth + c) * perPixel + s) * sampleBytes;
                            if (at + sampleBytes > static_cast<std::size_t>(got)) {
                                return false;
                            }
                            // The library hands 16-bit samples over in this
                            // machine's byte order.
                            std::uint16_t value = block[at];
                            if (sampleBytes == 2) {
                                std::memcpy(&value, &block[at], 2);
                            }
                            image.samples[(std::size_t{top + r} * layout.width + left + c) *
                                              layout.channels +
                                          plane + s] = value;
                        }
                    }
                }
            }
        }
    }
    return true;
}

// Premultiplied colour back to straight colour, as the document holds it.
void divideOutAlpha(FileImage& image) {
    const std::uint32_t full = image.depth == 16 ? 65535U : 255U;
    const auto channels = static_cast<std::size_t>(image.channels);
    for (std::size_t i = 0; i < image.samples.size(); i += channels) {
        const std::uint32_t alpha = image.samples[i + channels - 1];
        for (std::size_t c = 0; c + 1 < channels && alpha != 0; ++c) {
            const std::uint32_t straight = (image.samples[i + c] * full + alpha / 2) / alpha;
            image.samples[i + c] = static_cast<std::uint16_t>(std::min(straight, full));
        }
    }
}

void readProfileAndResolution(TIFF* tiff, FileImage& image) {
    std::uint32_t profileSize = 0;
    void* profile = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &profileSize, &profile) == 1 && profile != nullptr) {
        const auto* bytes = static_cast<const std::uint8_t*>(profile);
        image.iccProfile.assign(bytes, bytes + profileSize);
    }
    float resolution = 0.0F;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &resolution) == 1 && resolution > 0.0F) {
        if (unit == RESUNIT_INCH) {
            image.resolution = resolution;
        } else if (unit == RESUNIT_CENTIMETER) {
            image.resolution = resolution * kCentimetresPerInch;
        }
    }
}

} // namespace

bool tiffSupported() {
    return true;
}

std::optional<FileImage> readTiff(const std::string& path, ImageError& error) {
    std::string message;
    const TiffHandle tiff = openTiff(path, "r", message);
    const auto damaged = [&](const std::string& what) {
        error = {ImageFailure::file,
                 path + ": a damaged TIFF file (" + (message.empty() ? what : message) + ")"};
        return std::nullopt;
    };
    const auto unsupported = [&](const std::string& what) {
        error = {ImageFailure::unsupported,
                 path + ": " + what +
                     "; TIFF files are read as gray or RGB, 8 or 16 bits, with or without alpha"};
        return std::nullopt;
    };
    if (!tiff) {
        return damaged("cannot be opened");
    }
    Layout layout;
    std::uint16_t bits = 0;
    std::uint16_t format = 0;
    std::uint16_t planarConfig = 0;
    std::uint16_t photometric = 0;
    if (TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &layout.width) != 1 ||
        TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &layout.height) != 1 || layout.width == 0 ||
        layout.height == 0) {
        return damaged("no image size");
    }
    if (TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric) != 1) {
        return damaged("no photometric interpretation");
    }
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &layout.channels);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &planarConfig);
    if (format == SAMPLEFORMAT_IEEEFP) {
        return unsupported("floating-point samples are not supported");
    }
    if (format != SAMPLEFORMAT_UINT) {
        return unsupported("signed or complex samples are not supported");
    }
    if (photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_RGB) {
        return unsupported(photometricProblem(photometric));
    }
    if (bits != 8 && bits != 16) {
        return unsupported(std::to_string(bits) + "-bit samples are not supported");
    }
    const int colours = photometric == PHOTOMETRIC_RGB ? 3 : 1;
    if (layout.channels < colours) {
        return damaged("fewer samples per pixel than colours");
    }
    if (layout.channels > colours + 1) {
        return unsupported("more than one extra channel besides alpha is not supported");
    }
    if (std::uint64_t{layout.width} * layout.height * layout.channels > kMaxSamples) {
        return unsupported("images of more than 2^31 samples are not supported");
    }
    layout.bytesPerSample = static_cast<std::uint16_t>(bits / 8);
    layout.planar = planarConfig == PLANARCONFIG_SEPARATE && layout.channels > 1;

    FileImage image;
    image.width = static_cast<int>(layout.width);
    image.height = static_cast<int>(layout.height);
    image.channels = layout.channels;
    image.depth = bits;
    image.samples.assign(std::size_t{layout.width} * layout.height * layout.channels, 0);
    if (!readBlocks(tiff.get(), layout, image)) {
        return damaged("the image data cannot be read");
    }
    std::uint16_t extraCount = 0;
    std::uint16_t* extraKinds = nullptr;
    if (layout.channels > colours &&
        TIFFGetField(tiff.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) == 1 &&
        extraCount == 1 && extraKinds[0] == EXTRASAMPLE_ASSOCALPHA) {
        divideOutAlpha(image);
    }
    readProfileAndResolution(tiff.get(), image);
    return image;
}

bool writeTiff(const std::string& path, const FileImage& image, ImageError& error) {
    if (image.channels < 1 || image.channels > 4 || (image.depth != 8 && image.depth != 16) ||
        image.width <= 0 || image.height <= 0 ||
        image.samples.size() != static_cast<std::size_t>(image.width) * image.height *
                                    static_cast<std::size_t>(image.channels)) {
        error = {ImageFailure::unsupported, "not an image that this host writes as TIFF"};
        return false;
    }
    std::string message;
    TiffHandle tiff = openTiff(path, "w", message);
    const auto failed = [&]() {
        error = {ImageFailure::file,
                 "cannot write " + path + (message.empty() ? "" : ": ") + message};
        return false;
    };
    if (!tiff) {
        return failed();
    }
    TIFF* t = tiff.get();
    const bool alpha = image.channels == 2 || image.channels == 4;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(image.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(image.depth));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(image.channels));
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                 image.channels <= 2 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    // Strips of about 256 KiB: the predictor and deflate do better on long
    // runs than on the library's default of 8 KiB.
    const std::size_t rowBytes =
        static_cast<std::size_t>(image.width) * image.channels * (image.depth / 8);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP,
                 TIFFDefaultStripSize(t, static_cast<std::uint32_t>(
                                             std::max<std::size_t>(1, (256U << 10) / rowBytes))));
    if (alpha) {
        const std::uint16_t kinds[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, std::uint16_t{1}, kinds);
    }
    if (!image.iccProfile.empty()) {
        TIFFSetField(t, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(image.iccProfile.size()),
                     image.iccProfile.data());
    }
    if (image.resolution > 0.0) {
        TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(image.resolution));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(image.resolution));
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    const std::size_t rowSamples = static_cast<std::size_t>(image.width) * image.channels;
    const auto sampleBytes = static_cast<std::size_t>(image.depth / 8);
    std::vector<std::uint8_t> row(rowSamples * sampleBytes);
    for (int y = 0; y < image.height; ++y) {
        const std::uint16_t* samples = &image.samples[static_cast<std::size_t>(y) * rowSamples];
        for (std::size_t i = 0; i < rowSamples; ++i) {
            if (sampleBytes == 2) {
                std::memcpy(&row[2 * i], &samples[i], 2);
            } else {
                row[i] = static_cast<std::uint8_t>(samples[i]);
            }
        }
        if (TIFFWriteScanline(t, row.data(), static_cast<std::uint32_t>(y), 0) < 0) {
            return failed();
        }
    }
    if (TIFFFlush(t) != 1) {
        return failed();
    }
    return true;
}

} // namespace host
