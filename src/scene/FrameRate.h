#pragma once

#include <array>
#include <string>

namespace volumira {

// The frame-rate readout: the mean of the last ten measured rates, its text renewed once every ten
// measured intervals. Frames within one clock tick count towards the next interval.
class FrameRate {
  public:
    // Counts a frame drawn at `seconds`; true when the text changed.
    bool frame(double seconds);
    const std::string& text() const { return text_; }

  private:
    double lastTime_ = 0.0;
    int frameCount_ = 1;
    std::array<double, 10> rates_{};
    int index_ = 0;
    double sum_ = 0.0;
    std::string text_;
};

} // namespace volumira
