#pragma once

#include "host/FileImage.h"

namespace demo {

// A made-up lakeside evening, the same every time: sky, sun, clouds, three
// ranges of hills and their reflection in the water. 16 bits per sample, so
// that an edit's gradients stay smooth.
host::FileImage paintLandscape(int width, int height);

} // namespace demo
