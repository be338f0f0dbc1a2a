// advanceState: what the host delivers for the plug-in's requests and how
// the output goes back into the document.

#include "host/FilterHostState.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace host {

using namespace hostapi;

using State = FilterHost::State;

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

// The image as seen at a sampling step: ceil(size / step) pixels.
bool inside(const VRect& r, int width, int height, int step) {
    const int w = (width + step - 1) / step;
    const int h = (height + step - 1) / step;
    return r.left >= 0 && r.top >= 0 && r.right <= w && r.bottom <= h;
}

std::size_t paddedRow(std::size_t tight, std::int32_t padding) {
    return (tight + static_cast<std::size_t>(std::max(padding, 0)) + 3) / 4 * 4;
}

std::size_t area(const VRect& r, std::size_t rowBytes) {
    return isEmpty(r) ? 0 : rowBytes * static_cast<std::size_t>(r.bottom - r.top);
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

// Copies planes lo..hi of `rect` (in sampled coordinates) from the document
// into a buffer; pixels outside the image follow the padding rule.
void copyIn(const Document& document, const VRect& rect, int lo, int hi, int step,
            std::int16_t padding, std::uint8_t* buffer, std::size_t rowBytes) {
    const auto bps = static_cast<std::size_t>(document.bytesPerSample());
    const std::size_t docPixel = static_cast<std::size_t>(document.planes()) * bps;
    const std::size_t outPixel = static_cast<std::size_t>(hi - lo + 1) * bps;
    const std::size_t planeOffset = static_cast<std::size_t>(lo) * bps;
    const bool wholePixels = outPixel == docPixel;
    const std::uint8_t* pixels = document.data();
    const std::size_t docRow = document.rowBytes();
    const int width = rect.right - rect.left;
    for (int y = rect.top; y < rect.bottom; ++y) {
        std::uint8_t* out = buffer + static_cast<std::size_t>(y - rect.top) * rowBytes;
        const int sy = y * step;
        const bool rowInside = sy >= 0 && sy < document.height();
        if (rowInside && step == 1 && wholePixels && rect.left >= 0 &&
            rect.right <= document.width()) {
            std::memcpy(out,
                        pixels + static_cast<std::size_t>(sy) * docRow +
                            static_cast<std::size_t>(rect.left) * docPixel,
                        static_cast<std::size_t>(width) * docPixel);
            continue;
        }
        for (int x = rect.left; x < rect.right; ++x) {
            std::uint8_t* target = out + static_cast<std::size_t>(x - rect.left) * outPixel;
            int sx = x * step;
            int ry = sy;
            const bool pixelInside = rowInside && sx >= 0 && sx < document.width();
            if (!pixelInside) {
                if (padding == -1) {
                    sx = std::clamp(sx, 0, document.width() - 1);
                    ry = std::clamp(sy, 0, document.height() - 1);
                } else {
                    // A constant (0..255, scaled to the depth) or nothing
                    // defined, which reads as 0 here.
                    const std::uint32_t value = padding >= 0 ? static_cast<std::uint32_t>(padding) *
                                                                   document.maxValue() / 255
                                                             : 0;
                    for (int p = 0; p <= hi - lo; ++p) {
                        if (bps == 1) {
                            target[p] = static_cast<std::uint8_t>(value);
                        } else {
                            const auto v = static_cast<std::uint16_t>(value);
                            std::memcpy(target + static_cast<std::ptrdiff_t>(p) * 2, &v, 2);
                        }
                    }
                    continue;
                }
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

} // namespace

bool State::requestPending() const {
    const bool big = record.bigDocumentData != nullptr &&
                     record.bigDocumentData->PluginUsing32BitCoordinates != 0;
    const VRect in = big ? bigDocument.inRect32 : wide(record.inRect);
    const VRect out = big ? bigDocument.outRect32 : wide(record.outRect);
    const VRect mask = big ? bigDocument.maskRect32 : wide(record.maskRect);
    return !isEmpty(in) || !isEmpty(out) || !isEmpty(mask);
}

std::int16_t State::advance(bool betweenCalls) {
    commitOutput();
    AdvanceStateCall call;
    call.betweenCalls = betweenCalls;
    call.bigCoordinates = record.bigDocumentData != nullptr &&
                          record.bigDocumentData->PluginUsing32BitCoordinates != 0;
    call.inRect = call.bigCoordinates ? bigDocument.inRect32 : wide(record.inRect);
    call.outRect = call.bigCoordinates ? bigDocument.outRect32 : wide(record.outRect);
    call.maskRect = call.bigCoordinates ? bigDocument.maskRect32 : wide(record.maskRect);
    call.inLoPlane = record.inLoPlane;
    call.inHiPlane = record.inHiPlane;
    call.outLoPlane = record.outLoPlane;
    call.outHiPlane = record.outHiPlane;
    call.inputStep = stepOf(record.inputRate);
    call.maskStep = stepOf(record.maskRate);

    record.inData = nullptr;
    record.outData = nullptr;
    record.maskData = nullptr;
    record.inRowBytes = 0;
    record.outRowBytes = 0;
    record.maskRowBytes = 0;

    auto finish = [&](OSErr result, const std::string& why) {
        call.result = result;
        records.advanceStates.push_back(call);
        if (options.trace) {
            trace(std::string(betweenCalls ? "delivery" : "advanceState") + " in " +
                  rectText(call.inRect) + " planes " + std::to_string(call.inLoPlane) + "-" +
                  std::to_string(call.inHiPlane) + ", out " + rectText(call.outRect) + ", mask " +
                  rectText(call.maskRect) + " -> " + std::to_string(result) +
                  (why.empty() ? "" : " (" + why + ")"));
        }
        return result;
    };

    const bool wantIn = !isEmpty(call.inRect);
    const bool wantOut = !isEmpty(call.outRect);
    const bool wantMask = !isEmpty(call.maskRect) && document.hasSelection();
    const int planes = source.planes();
    const int bps = source.bytesPerSample();
    // Padding -3 (and anything not defined) refuses what lies outside the
    // image; a constant, edge replication or "undefined" pads instead.
    const bool padIn = record.inputPadding >= -2 && record.inputPadding <= 255;
    const bool padMask = record.maskPadding >= -2 && record.maskPadding <= 255;

    if (wantIn &&
        (call.inLoPlane < 0 || call.inLoPlane > call.inHiPlane || call.inHiPlane >= planes)) {
        return finish(paramErr, "input planes out of range");
    }
    if (wantOut &&
        (call.outLoPlane < 0 || call.outLoPlane > call.outHiPlane || call.outHiPlane >= planes)) {
        return finish(paramErr, "output planes out of range");
    }
    if (wantIn && !padIn && !inside(call.inRect, source.width(), source.height(), call.inputStep)) {
        return finish(paramErr, "input rectangle outside the image");
    }
    if (wantOut && !inside(call.outRect, source.width(), source.height(), 1)) {
        return finish(paramErr, "output rectangle outside the image");
    }
    if (wantMask && !padMask &&
        !inside(call.maskRect, source.width(), source.height(), call.maskStep)) {
        return finish(paramErr, "mask rectangle outside the image");
    }

    const std::size_t inTight =
        wantIn ? static_cast<std::size_t>(call.inRect.right - call.inRect.left) *
                     static_cast<std::size_t>(call.inHiPlane - call.inLoPlane + 1) *
                     static_cast<std::size_t>(bps)
               : 0;
    const std::size_t outTight =
        wantOut ? static_cast<std::size_t>(call.outRect.right - call.outRect.left) *
                      static_cast<std::size_t>(call.outHiPlane - call.outLoPlane + 1) *
                      static_cast<std::size_t>(bps)
                : 0;
    const std::size_t maskTight =
        wantMask ? static_cast<std::size_t>(call.maskRect.right - call.maskRect.left) : 0;
    const std::size_t inRow = wantIn ? paddedRow(inTight, options.rowPadding) : 0;
    const std::size_t outRow = wantOut ? paddedRow(outTight, options.rowPadding) : 0;
    const std::size_t maskRow = wantMask ? paddedRow(maskTight, options.rowPadding) : 0;
    const std::size_t total =
        area(call.inRect, inRow) + area(call.outRect, outRow) + area(call.maskRect, maskRow);
    const std::int64_t budget =
        options.requestBudget > 0 ? options.requestBudget : options.maxSpace;
    if (static_cast<std::int64_t>(total) > budget) {
        return finish(memFullErr, "request of " + std::to_string(total) + " bytes over budget");
    }

    if (wantIn) {
        std::uint8_t* buffer = inBuffer.ensure(area(call.inRect, inRow));
        copyIn(source, call.inRect, call.inLoPlane, call.inHiPlane, call.inputStep,
               record.inputPadding, buffer, inRow);
        fillPadding(buffer, call.inRect, inTight, inRow);
        record.inData = buffer;
        record.inRowBytes = static_cast<int32>(inRow);
        record.inColumnBytes = (call.inHiPlane - call.inLoPlane + 1) * bps;
        record.inPlaneBytes = bps;
    }
    if (wantOut) {
        // The output starts as the document's current pixels. Asked for
        // without input, it takes the input's buffer: a plug-in that reads
        // and writes its tiles in separate calls touches one tile's memory.
        GrowBuffer& storage = wantIn ? outBuffer : inBuffer;
        std::uint8_t* buffer = storage.ensure(area(call.outRect, outRow));
        copyIn(document, call.outRect, call.outLoPlane, call.outHiPlane, 1, -3, buffer, outRow);
        fillPadding(buffer, call.outRect, outTight, outRow);
        record.outData = buffer;
        record.outRowBytes = static_cast<int32>(outRow);
        record.outColumnBytes = (call.outHiPlane - call.outLoPlane + 1) * bps;
        record.outPlaneBytes = bps;
        pendingOutput =
            Delivery{true, call.outRect, call.outLoPlane, call.outHiPlane, outRow, buffer};
    }
    if (wantMask) {
        std::uint8_t* buffer = maskBuffer.ensure(area(call.maskRect, maskRow));
        copyMask(document, call.maskRect, call.maskStep, buffer, maskRow);
        fillPadding(buffer, call.maskRect, maskTight, maskRow);
        record.maskData = buffer;
        record.maskRowBytes = static_cast<int32>(maskRow);
    }
    call.inRowBytes = record.inRowBytes;
    call.outRowBytes = record.outRowBytes;
    call.maskRowBytes = record.maskRowBytes;
    return finish(noErr, "");
}

void State::commitOutput() {
    if (!pendingOutput.active) {
        return;
    }
    const Delivery d = pendingOutput;
    pendingOutput = Delivery{};
    const auto bps = static_cast<std::size_t>(document.bytesPerSample());
    const std::size_t docPixel = static_cast<std::size_t>(document.planes()) * bps;
    const std::size_t outPixel = static_cast<std::size_t>(d.hiPlane - d.loPlane + 1) * bps;
    const std::size_t tight = static_cast<std::size_t>(d.rect.right - d.rect.left) * outPixel;
    const std::uint8_t* buffer = d.pixels;
    // The host blends the output with the original by the selection unless
    // the plug-in turned automatic masking off.
    const bool blend = record.autoMask != 0 && document.hasSelection();
    bool paddingWritten = false;
    for (int y = d.rect.top; y < d.rect.bottom; ++y) {
        const std::uint8_t* row = buffer + static_cast<std::size_t>(y - d.rect.top) * d.rowBytes;
        for (std::size_t i = tight; i < d.rowBytes; ++i) {
            paddingWritten = paddingWritten || row[i] != kPaddingFill;
        }
        std::uint8_t* target = document.data() + static_cast<std::size_t>(y) * document.rowBytes();
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
            const std::uint32_t m = document.selection(x, y);
            for (int p = d.loPlane; p <= d.hiPlane; ++p) {
                std::uint32_t filtered = 0;
                std::memcpy(&filtered, from + static_cast<std::size_t>(p - d.loPlane) * bps, bps);
                const std::uint32_t original = source.sample(x, y, p);
                document.setSample(x, y, p, (filtered * m + original * (255 - m) + 127) / 255);
            }
        }
    }
    if (paddingWritten) {
        fault("the plug-in wrote into the row padding of outData");
    }
}

OSErr hostAdvanceState() {
    State* s = activeHostState();
    if (s == nullptr) {
        return paramErr;
    }
    return s->advance(false);
}

} // namespace host
