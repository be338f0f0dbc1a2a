#pragma once

#include "host/Document.h"
#include "host/FilterHost.h"
#include "host/FilterRecordSet.h"
#include "host/HostObjects.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace host {

// A delivery buffer that only ever grows: requests of the same or a smaller
// size reuse warm pages instead of fresh ones.
class GrowBuffer {
public:
    std::uint8_t* ensure(std::size_t size) {
        if (size > capacity_) {
            data_.reset(new std::uint8_t[size]);
            capacity_ = size;
        }
        return data_.get();
    }

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t capacity_ = 0;
};

// What the host delivers for the plug-in's requests (advanceState, and the
// host's own delivery before a Continue), and how the output goes back into
// the document: at the next delivery, or when the selector call returns.
class ImageDelivery {
public:
    // Input reads `source` (the document as the application began); output
    // starts as, and goes back into, `document`.
    ImageDelivery(const Document& source, Document& document, const HostOptions& options,
                  HostRecords& records, FilterRecordSet& application, FaultReport fault)
        : source_(source), document_(document), options_(options), records_(records),
          application_(application), fault_(std::move(fault)) {}

    // The plug-in left a non-empty input, output or mask request.
    bool requestPending() const;
    // Writes back pending output, then delivers the requested rectangles
    // into the record, or refuses them all.
    std::int16_t advance(bool betweenCalls);
    // Writes the output of the last delivery back into the document.
    void commitOutput();
    // Forgets output not written back, as a new application begins.
    void reset() { pendingOutput_ = PendingOutput{}; }

private:
    struct Request;
    struct PendingOutput {
        bool active = false;
        hostapi::VRect rect{};
        int loPlane = 0;
        int hiPlane = 0;
        std::size_t rowBytes = 0;
        // The buffer the output was delivered in.
        const std::uint8_t* pixels = nullptr;
    };

    const char* refusal(const Request& request) const;
    void deliverInput(const Request& in);
    void deliverOutput(const Request& out, GrowBuffer& storage);
    void deliverMask(const Request& mask);
    std::int16_t finish(AdvanceStateCall& call, std::int16_t result, const std::string& why);

    const Document& source_;
    Document& document_;
    const HostOptions& options_;
    HostRecords& records_;
    FilterRecordSet& application_;
    FaultReport fault_;
    GrowBuffer inBuffer_;
    GrowBuffer outBuffer_;
    GrowBuffer maskBuffer_;
    PendingOutput pendingOutput_;
};

} // namespace host
