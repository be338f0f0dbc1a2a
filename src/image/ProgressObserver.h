#pragma once

namespace image {

// Receives the progress of an iterator walk, once per completed row.
class ProgressObserver {
public:
    ProgressObserver() = default;
    ProgressObserver(const ProgressObserver&) = delete;
    ProgressObserver& operator=(const ProgressObserver&) = delete;
    virtual ~ProgressObserver();

    // `fraction` runs from the walk's low to its high end of the range.
    virtual void progress(double fraction) = 0;
};

} // namespace image
