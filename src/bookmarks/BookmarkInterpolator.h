#pragma once

#include "bookmarks/Bookmark.h"
#include "bookmarks/CubicHermite.h"

#include <array>
#include <functional>

namespace volumira {

class BrainExpressionModel;

// Moves the model smoothly from one bookmark's state to another's: the rotation by spherical
// interpolation, everything else linearly, all on one eased time curve. The last step lands exactly
// on the target.
class BookmarkInterpolator {
  public:
    // Upper thresholds of "no bound" animate towards the threshold control's maxima.
    static constexpr float kScoreMaximum = 260.0f;
    static constexpr float kCountMaximum = 35.0f;
    using Clock = std::function<double()>;

    // The model must outlive the interpolator. The clock gives seconds; the platform clock by default.
    BookmarkInterpolator(const Bookmark& from, const Bookmark& to, BrainExpressionModel& model,
                         double durationSeconds, Clock clock = {});
    virtual ~BookmarkInterpolator();
    BookmarkInterpolator(const BookmarkInterpolator&) = delete;
    BookmarkInterpolator& operator=(const BookmarkInterpolator&) = delete;

    // Steps to the fraction of the duration that has passed; false once the target is applied.
    virtual bool tick();
    // Sets the model to the state at this fraction; false when the animation is over.
    virtual bool step(double fraction);
    // Interpolates unit quaternions (x, y, z, w) the short way round; false when they already agree,
    // out being q1 then.
    virtual bool slerp(const std::array<float, 4>& q0, const std::array<float, 4>& q1, std::array<float, 4>& out,
                       float t) const;

  private:
    bool finish();

    Clock clock_;
    double startTime_;
    double duration_;
    Bookmark from_, to_;
    BrainExpressionModel& model_;
    CubicHermite easing_{0.0, 1.0, 0.0, 1.0, 0.0, 0.0};
    float zoomDelta_ = 0.0f;
    std::array<float, 3> originDelta_{}, locationDelta_{}, lowerDelta_{}, upperDelta_{};
    float scoreLowerDelta_ = 0.0f, scoreUpperDelta_ = 0.0f, countLowerDelta_ = 0.0f, countUpperDelta_ = 0.0f;
    bool rotating_ = true;
    bool zoomChanges_ = false, originChanges_ = false;
    std::array<bool, 3> locationChanges_{};
    bool targetShowsSection_ = false;
    bool upperClipChanges_ = false, lowerClipChanges_ = false;
    bool scoreChanges_ = false, countChanges_ = false;
    bool anythingElse_ = false;
};

} // namespace volumira
