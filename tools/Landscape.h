#pragma once

#include "host/PngFile.h"

namespace demo {

// A made-up lakeside evening, the same every time: sky, sun, clouds, three
// ranges of hills and their reflection in the water. 16 bits per sample, so
// that an edit's gradients stay smooth.
host::PngImage paintLandscape(int width, int height);

} // namespace demo
