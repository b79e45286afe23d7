#include "scene/FrameRate.h"

#include <cstdio>

namespace volumira {

bool FrameRate::frame(double seconds) {
    const double elapsed = seconds - lastTime_;
    if (!(elapsed > 0.0)) {
        ++frameCount_;
        return false;
    }
    const double rate = frameCount_ / elapsed;
    sum_ += rate - rates_[static_cast<std::size_t>(index_)];
    bool changed = false;
    if (index_ == 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", sum_ / 10.0);
        changed = text_ != text;
        text_ = text;
    }
    lastTime_ = seconds;
    rates_[static_cast<std::size_t>(index_)] = rate;
    index_ = (index_ + 1) % 10;
    frameCount_ = 1;
    return changed;
}

} // namespace volumira
