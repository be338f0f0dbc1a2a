#include "image/ProgressObserver.h"

namespace image {

ProgressObserver::~ProgressObserver() = default;

} // namespace image
