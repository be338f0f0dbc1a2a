#pragma once

#include "image/PixelRect.h"
#include "image/SampleScaling.h"
#include "image/VTImageBuffer.h"

namespace image {

// Sample conversions between records of different depth. Each works over the
// intersection of the two records' bounds and leaves the rest of the
// destination untouched.

// 16-bit to 8-bit on interleaved images: every channel that both records have
// (they normally have the same count), rounded to nearest.
void convert16To8(const VTImageBuffer& source, VTImageBuffer& destination);

// One 8-bit channel into one channel at document depth: copied, scaled to the
// host's 0..32768, or scaled to 0.0..1.0.
void convert8To8(const VTImageBuffer& source, VTImageBuffer& destination);
void convert8To16(const VTImageBuffer& source, VTImageBuffer& destination);
void convert8ToFloat(const VTImageBuffer& source, VTImageBuffer& destination);

// The smallest rectangle holding every non-zero sample of an 8-bit mask;
// all zeros when there is none.
PixelRect nonZeroBoundingBox(const VTImageBuffer& mask);

// Whether every sample of a one-channel mask at document depth (1, 2 or 4
// bytes per sample) is full scale: 255, 32768 or 1.0. A mask without samples
// is fully selected; one of any other depth is not.
bool isFullySelected(const VTImageBuffer& mask);

} // namespace image
