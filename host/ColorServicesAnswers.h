#pragma once

#include "host/FilterHost.h"

#include <deque>
#include <optional>

namespace host {

// What the colour services answer beyond plain conversion: which pairs of
// spaces the convert selector accepts (all by default), and the picker's
// scripted answers, oldest first.
class ColorServicesAnswers {
public:
    static constexpr int spaces = 7;

    ColorServicesAnswers() { supportAll(true); }

    bool supports(std::int16_t source, std::int16_t target) const {
        return valid(source) && valid(target) && supported_[source][target];
    }
    void support(std::int16_t source, std::int16_t target, bool supported) {
        if (valid(source) && valid(target)) {
            supported_[source][target] = supported;
        }
    }
    void supportAll(bool supported) {
        for (auto& row : supported_) {
            for (bool& pair : row) {
                pair = supported;
            }
        }
    }

    void queuePickerAnswer(const PickerAnswer& answer) { picker_.push_back(answer); }
    // The next scripted answer; none when the script has run out.
    std::optional<PickerAnswer> nextPickerAnswer() {
        if (picker_.empty()) {
            return std::nullopt;
        }
        PickerAnswer answer = picker_.front();
        picker_.pop_front();
        return answer;
    }

private:
    static bool valid(std::int16_t space) { return space >= 0 && space < spaces; }

    bool supported_[spaces][spaces]{};
    std::deque<PickerAnswer> picker_;
};

} // namespace host
