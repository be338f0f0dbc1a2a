#include "host/ImageDelivery.h"

#include "host/ActiveHost.h"
#include "host/HostCallbacks.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace host {

using namespace hostapi;

namespace {

// Row padding is filled with this, so that reading it shows up as garbage
// and writing it can be detected.
constexpr std::uint8_t kPaddingFill = 0xA5;

// Left, top, right, bottom.
std::string rectText(const VRect& r) {
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "}";
}

VRect wide(const Rect& r) {
    return VRect{r.top, r.left, r.bottom, r.right};
}

// Whole sampling steps: the rate is rounded to the nearest integer.
int stepOf(Fixed rate) {
    const int step = (rate + 0x8000) >> 16;
    return std::clamp(step, 1, 255);
}

// Padding -3 (and anything not defined) refuses what lies outside the
// image; a constant (0..255), edge replication (-1) or "undefined" (-2)
// pads instead.
bool padsOutside(std::int16_t padding) {
    return padding >= -2 && padding <= 255;
}

// The image as seen at a sampling step: ceil(size / step) pixels.
bool inside(const VRect& r, int width, int height, int step) {
    const int w = (width + step - 1) / step;
    const int h = (height + step - 1) / step;
    return r.left >= 0 && r.top >= 0 && r.right <= w && r.bottom <= h;
}

std::size_t paddedRow(std::size_t tight, std::int32_t padding) {
    return (tight + static_cast<std::size_t>(std::max(padding, 0)) + 3) / 4 * 4;
}

void fillPadding(std::uint8_t* buffer, const VRect& r, std::size_t tight, std::size_t rowBytes) {
    if (rowBytes == tight) {
        return;
    }
    for (int y = 0; y < r.bottom - r.top; ++y) {
        std::memset(buffer + static_cast<std::size_t>(y) * rowBytes + tight, kPaddingFill,
                    rowBytes - tight);
    }
}

// A pixel outside the image under a constant padding (0..255, at the
// document's depth) or an undefined one, which reads as 0 here.
void padPixel(const Document& document, std::int16_t padding, int planes, std::uint8_t* target) {
    const std::uint32_t value =
        padding >= 0 ? document.sampleFromEightBits(static_cast<std::uint8_t>(padding)) : 0;
    for (int p = 0; p < planes; ++p) {
        if (document.bytesPerSample() == 1) {
            target[p] = static_cast<std::uint8_t>(value);
        } else {
            const auto v = static_cast<std::uint16_t>(value);
            std::memcpy(target + static_cast<std::ptrdiff_t>(p) * 2, &v, 2);
        }
    }
}

// Copies planes lo..hi of `rect` (in sampled coordinates) from the document
// into a buffer; pixels outside the image follow the padding rule.
void copyIn(const Document& document, const VRect& rect, int lo, int hi, int step,
            std::int16_t padding, std::uint8_t* buffer, std::size_t rowBytes) {
    const auto bps = static_cast<std::size_t>(document.bytesPerSample());
    const std::size_t docPixel = static_cast<std::size_t>(document.planes()) * bps;
    const std::size_t outPixel = static_cast<std::size_t>(hi - lo + 1) * bps;
    const std::size_t planeOffset = static_cast<std::size_t>(lo) * bps;
    const std::uint8_t* pixels = document.data();
    const std::size_t docRow = document.rowBytes();
    for (int y = rect.top; y < rect.bottom; ++y) {
        std::uint8_t* out = buffer + static_cast<std::size_t>(y - rect.top) * rowBytes;
        const int sy = y * step;
        const bool rowInside = sy >= 0 && sy < document.height();
        if (rowInside && step == 1 && outPixel == docPixel && rect.left >= 0 &&
            rect.right <= document.width()) {
            std::memcpy(out,
                        pixels + static_cast<std::size_t>(sy) * docRow +
                            static_cast<std::size_t>(rect.left) * docPixel,
                        static_cast<std::size_t>(rect.right - rect.left) * docPixel);
            continue;
        }
        for (int x = rect.left; x < rect.right; ++x) {
            std::uint8_t* target = out + static_cast<std::size_t>(x - rect.left) * outPixel;
            int sx = x * step;
            int ry = sy;
            if (!rowInside || sx < 0 || sx >= document.width()) {
                if (padding != -1) {
                    padPixel(document, padding, hi - lo + 1, target);
                    continue;
                }
                sx = std::clamp(sx, 0, document.width() - 1);
                ry = std::clamp(sy, 0, document.height() - 1);
            }
            std::memcpy(target,
                        pixels + static_cast<std::size_t>(ry) * docRow +
                            static_cast<std::size_t>(sx) * docPixel + planeOffset,
                        outPixel);
        }
    }
}

void copyMask(const Document& document, const VRect& rect, int step, std::uint8_t* buffer,
              std::size_t rowBytes) {
    const std::vector<std::uint8_t>& mask = document.selectionMask();
    for (int y = rect.top; y < rect.bottom; ++y) {
        std::uint8_t* out = buffer + static_cast<std::size_t>(y - rect.top) * rowBytes;
        const int sy = std::clamp(y * step, 0, document.height() - 1);
        for (int x = rect.left; x < rect.right; ++x) {
            const int sx = std::clamp(x * step, 0, document.width() - 1);
            out[x - rect.left] = mask[static_cast<std::size_t>(sy) * document.width() + sx];
        }
    }
}

// What the plug-in asks for, from the fields it opted in to.
AdvanceStateCall requested(const FilterRecordSet& application) {
    const FilterRecord& record = application.record;
    AdvanceStateCall call;
    call.bigCoordinates = application.usesBigCoordinates();
    const BigDocumentStruct& big = application.bigDocument;
    call.inRect = call.bigCoordinates ? big.inRect32 : wide(record.inRect);
    call.outRect = call.bigCoordinates ? big.outRect32 : wide(record.outRect);
    call.maskRect = call.bigCoordinates ? big.maskRect32 : wide(record.maskRect);
    call.inLoPlane = record.inLoPlane;
    call.inHiPlane = record.inHiPlane;
    call.outLoPlane = record.outLoPlane;
    call.outHiPlane = record.outHiPlane;
    call.inputStep = stepOf(record.inputRate);
    call.maskStep = stepOf(record.maskRate);
    return call;
}

} // namespace

// One of the three requests of a delivery, and the buffer rows it takes.
struct ImageDelivery::Request {
    Request(const char* what, const VRect& area, int lo, int hi, int sampling, bool padsOutside,
            int bytesPerSample)
        : name(what), rect(area), loPlane(lo), hiPlane(hi), step(sampling), padded(padsOutside),
          sampleBytes(static_cast<std::size_t>(bytesPerSample)), wanted(!isEmpty(area)) {}

    std::size_t pixelBytes() const {
        return static_cast<std::size_t>(hiPlane - loPlane + 1) * sampleBytes;
    }
    std::size_t tightRow() const {
        return static_cast<std::size_t>(rect.right - rect.left) * pixelBytes();
    }
    std::size_t bytes() const {
        return wanted ? rowBytes * static_cast<std::size_t>(rect.bottom - rect.top) : 0;
    }

    const char* name;
    VRect rect;
    int loPlane;
    int hiPlane;
    int step;
    // What lies outside the image is padded instead of refused.
    bool padded;
    std::size_t sampleBytes;
    bool wanted;
    std::size_t rowBytes = 0;
};

bool ImageDelivery::requestPending() const {
    const AdvanceStateCall call = requested(application_);
    return !isEmpty(call.inRect) || !isEmpty(call.outRect) || !isEmpty(call.maskRect);
}

std::int16_t ImageDelivery::advance(bool betweenCalls) {
    commitOutput();
    FilterRecord& record = application_.record;
    AdvanceStateCall call = requested(application_);
    call.betweenCalls = betweenCalls;
    record.inData = record.outData = record.maskData = nullptr;
    record.inRowBytes = record.outRowBytes = record.maskRowBytes = 0;

    const int bps = source_.bytesPerSample();
    Request in("input", call.inRect, call.inLoPlane, call.inHiPlane, call.inputStep,
               padsOutside(record.inputPadding), bps);
    Request out("output", call.outRect, call.outLoPlane, call.outHiPlane, 1, false, bps);
    Request mask("mask", call.maskRect, 0, 0, call.maskStep, padsOutside(record.maskPadding), 1);
    mask.wanted = mask.wanted && document_.hasSelection();
    std::size_t total = 0;
    for (Request* r : {&in, &out, &mask}) {
        if (const char* why = refusal(*r)) {
            return finish(call, paramErr, std::string(r->name) + why);
        }
        r->rowBytes = paddedRow(r->tightRow(), options_.rowPadding);
        total += r->bytes();
    }
    const std::int64_t budget =
        options_.requestBudget > 0 ? options_.requestBudget : options_.maxSpace;
    if (static_cast<std::int64_t>(total) > budget) {
        return finish(call, memFullErr,
                      "request of " + std::to_string(total) + " bytes over budget");
    }
    if (in.wanted) {
        deliverInput(in);
    }
    if (out.wanted) {
        // Asked for without input, the output takes the input's buffer: a
        // plug-in that reads and writes its tiles in separate calls touches
        // one tile's memory.
        deliverOutput(out, in.wanted ? outBuffer_ : inBuffer_);
    }
    if (mask.wanted) {
        deliverMask(mask);
    }
    call.inRowBytes = record.inRowBytes;
    call.outRowBytes = record.outRowBytes;
    call.maskRowBytes = record.maskRowBytes;
    return finish(call, noErr, "");
}

const char* ImageDelivery::refusal(const Request& r) const {
    if (!r.wanted) {
        return nullptr;
    }
    if (r.loPlane < 0 || r.loPlane > r.hiPlane || r.hiPlane >= source_.planes()) {
        return " planes out of range";
    }
    if (!r.padded && !inside(r.rect, source_.width(), source_.height(), r.step)) {
        return " rectangle outside the image";
    }
    return nullptr;
}

void ImageDelivery::deliverInput(const Request& in) {
    FilterRecord& record = application_.record;
    std::uint8_t* buffer = inBuffer_.ensure(in.bytes());
    copyIn(source_, in.rect, in.loPlane, in.hiPlane, in.step, record.inputPadding, buffer,
           in.rowBytes);
    fillPadding(buffer, in.rect, in.tightRow(), in.rowBytes);
    record.inData = buffer;
    record.inRowBytes = static_cast<int32>(in.rowBytes);
    record.inColumnBytes = static_cast<int32>(in.pixelBytes());
    record.inPlaneBytes = static_cast<int32>(in.sampleBytes);
}

// The output starts as the document's current pixels.
void ImageDelivery::deliverOutput(const Request& out, GrowBuffer& storage) {
    FilterRecord& record = application_.record;
    std::uint8_t* buffer = storage.ensure(out.bytes());
    copyIn(document_, out.rect, out.loPlane, out.hiPlane, 1, -3, buffer, out.rowBytes);
    fillPadding(buffer, out.rect, out.tightRow(), out.rowBytes);
    record.outData = buffer;
    record.outRowBytes = static_cast<int32>(out.rowBytes);
    record.outColumnBytes = static_cast<int32>(out.pixelBytes());
    record.outPlaneBytes = static_cast<int32>(out.sampleBytes);
    pendingOutput_ = PendingOutput{true, out.rect, out.loPlane, out.hiPlane, out.rowBytes, buffer};
}

// The 8-bit selection, whatever the document's depth.
void ImageDelivery::deliverMask(const Request& mask) {
    FilterRecord& record = application_.record;
    std::uint8_t* buffer = maskBuffer_.ensure(mask.bytes());
    copyMask(document_, mask.rect, mask.step, buffer, mask.rowBytes);
    fillPadding(buffer, mask.rect, mask.tightRow(), mask.rowBytes);
    record.maskData = buffer;
    record.maskRowBytes = static_cast<int32>(mask.rowBytes);
}

std::int16_t ImageDelivery::finish(AdvanceStateCall& call, std::int16_t result,
                                   const std::string& why) {
    call.result = result;
    records_.advanceStates.push_back(call);
    if (options_.trace) {
        options_.trace(std::string(call.betweenCalls ? "delivery" : "advanceState") + " in " +
                       rectText(call.inRect) + " planes " + std::to_string(call.inLoPlane) + "-" +
                       std::to_string(call.inHiPlane) + ", out " + rectText(call.outRect) +
                       ", mask " + rectText(call.maskRect) + " -> " + std::to_string(result) +
                       (why.empty() ? "" : " (" + why + ")"));
    }
    return result;
}

void ImageDelivery::commitOutput() {
    if (!pendingOutput_.active) {
        return;
    }
    const PendingOutput d = pendingOutput_;
    pendingOutput_ = PendingOutput{};
    const auto bps = static_cast<std::size_t>(document_.bytesPerSample());
    const std::size_t docPixel = static_cast<std::size_t>(document_.planes()) * bps;
    const std::size_t outPixel = static_cast<std::size_t>(d.hiPlane - d.loPlane + 1) * bps;
    const std::size_t tight = static_cast<std::size_t>(d.rect.right - d.rect.left) * outPixel;
    // The host blends the output with the original by the selection unless
    // the plug-in turned automatic masking off.
    const bool blend = application_.record.autoMask != 0 && document_.hasSelection();
    bool paddingWritten = false;
    for (int y = d.rect.top; y < d.rect.bottom; ++y) {
        const std::uint8_t* row = d.pixels + static_cast<std::size_t>(y - d.rect.top) * d.rowBytes;
        paddingWritten = paddingWritten || std::any_of(row + tight, row + d.rowBytes,
                                                       [](auto b) { return b != kPaddingFill; });
        std::uint8_t* target =
            document_.data() + static_cast<std::size_t>(y) * document_.rowBytes();
        if (!blend && outPixel == docPixel) {
            std::memcpy(target + static_cast<std::size_t>(d.rect.left) * docPixel, row, tight);
            continue;
        }
        for (int x = d.rect.left; x < d.rect.right; ++x) {
            const std::uint8_t* from = row + static_cast<std::size_t>(x - d.rect.left) * outPixel;
            if (!blend) {
                std::memcpy(target + static_cast<std::size_t>(x) * docPixel +
                                static_cast<std::size_t>(d.loPlane) * bps,
                            from, outPixel);
                continue;
            }
            const std::uint32_t m = document_.selection(x, y);
            for (int p = d.loPlane; p <= d.hiPlane; ++p) {
                std::uint32_t filtered = 0;
                std::memcpy(&filtered, from + static_cast<std::size_t>(p - d.loPlane) * bps, bps);
                const std::uint32_t original = source_.sample(x, y, p);
                document_.setSample(x, y, p, (filtered * m + original * (255 - m) + 127) / 255);
            }
        }
    }
    if (paddingWritten) {
        fault_("the plug-in wrote into the row padding of outData");
    }
}

OSErr hostAdvanceState() {
    ImageDelivery* delivery = activeDelivery();
    return delivery != nullptr ? delivery->advance(false) : paramErr;
}

} // namespace host
