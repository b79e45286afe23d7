#include "bookmarks/BookmarkInterpolator.h"

#include "expression/BrainExpressionModel.h"
#include "platform/FileUtils.h"

#include <cmath>

namespace volumira {

namespace {

float lerp(float from, float delta, float e) { return from + delta * e; }

} // namespace

BookmarkInterpolator::BookmarkInterpolator(const Bookmark& from, const Bookmark& to, BrainExpressionModel& model,
                                           double durationSeconds, Clock clock)
    : clock_(clock ? std::move(clock) : Clock(secondsNow)), startTime_(clock_()), duration_(durationSeconds),
      from_(from), to_(to), model_(model) {
    zoomDelta_ = to_.zoom - from_.zoom;
    zoomChanges_ = zoomDelta_ != 0.0f;
    for (int i = 0; i < 3; ++i) {
        originDelta_[i] = to_.origin[i] - from_.origin[i];
        // A section hidden at the start keeps its place until the end: moving it would show nothing and
        // still announce a section change at every tick.
        const bool locationsKnown =
            from_.sliceVisible[i] != 0 && from_.sliceLocation[i] >= 0.0f && to_.sliceLocation[i] >= 0.0f;
        locationDelta_[i] = locationsKnown ? to_.sliceLocation[i] - from_.sliceLocation[i] : 0.0f;
        lowerDelta_[i] = to_.clipLower(i) - from_.clipLower(i);
        upperDelta_[i] = to_.clipUpper(i) - from_.clipUpper(i);
        originChanges_ = originChanges_ || originDelta_[i] != 0.0f;
        locationChanges_[i] = locationDelta_[i] != 0.0f;
        lowerClipChanges_ = lowerClipChanges_ || lowerDelta_[i] != 0.0f;
        upperClipChanges_ = upperClipChanges_ || upperDelta_[i] != 0.0f;
        targetShowsSection_ = targetShowsSection_ || to_.sliceVisible[i] != 0;
    }
    for (Bookmark* b : {&from_, &to_}) {
        if (b->scoreUpper == -1.0f) b->scoreUpper = kScoreMaximum;
        if (b->countUpper == -1.0f) b->countUpper = kCountMaximum;
    }
    scoreLowerDelta_ = to_.scoreLower - from_.scoreLower;
    scoreUpperDelta_ = to_.scoreUpper - from_.scoreUpper;
    countLowerDelta_ = to_.countLower - from_.countLower;
    countUpperDelta_ = to_.countUpper - from_.countUpper;
    scoreChanges_ = scoreLowerDelta_ != 0.0f || scoreUpperDelta_ != 0.0f;
    countChanges_ = countLowerDelta_ != 0.0f || countUpperDelta_ != 0.0f;
    if (scoreChanges_ || countChanges_ || lowerClipChanges_ || upperClipChanges_) model_.setAuxiliaryFlag(true);
    anythingElse_ = zoomChanges_ || originChanges_ || locationChanges_[0] || locationChanges_[1] ||
                    locationChanges_[2] || lowerClipChanges_ || upperClipChanges_ || scoreChanges_ ||
                    countChanges_;
}

BookmarkInterpolator::~BookmarkInterpolator() { model_.setAuxiliaryFlag(false); }

bool BookmarkInterpolator::tick() { return step((clock_() - startTime_) / duration_); }

bool BookmarkInterpolator::finish() {
    model_.setAuxiliaryFlag(false);
    to_.apply(model_);
    return false;
}

bool BookmarkInterpolator::step(double fraction) {
    // NaN (a zero duration at its start) counts as finished: there is nothing to show in between.
    if (!(fraction < 1.0)) return finish();
    const float e = static_cast<float>(easing_(fraction));
    if (to_.holds(Bookmark::ViewZoom) && zoomChanges_) model_.setZoom(lerp(from_.zoom, zoomDelta_, e), true);
    if (to_.holds(Bookmark::ViewAngle)) {
        if (originChanges_) {
            std::array<float, 3> origin;
            for (int i = 0; i < 3; ++i)
                origin[i] = lerp(from_.origin[i], originDelta_[i], e);
            model_.setTranslation(origin, true);
        }
        if (rotating_) {
            std::array<float, 4> rotation;
            rotating_ = slerp(from_.rotation, to_.rotation, rotation, e);
            model_.setRotation(rotation, true);
        }
    } else {
        rotating_ = false;
    }
    if (to_.holds(Bookmark::AtlasSections) && targetShowsSection_)
        for (int i = 0; i < 3; ++i)
            if (locationChanges_[i])
                model_.setSectionPosition(i, lerp(from_.sliceLocation[i], locationDelta_[i], e), true);
    if (to_.holds(Bookmark::ClippingPlanes)) {
        for (int i = 0; i < 3; ++i) {
            const float lower = lowerClipChanges_ ? lerp(from_.clipLower(i), lowerDelta_[i], e)
                                                  : model_.clippingPlane(i, true);
            const float upper = upperClipChanges_ ? lerp(from_.clipUpper(i), upperDelta_[i], e)
                                                  : model_.clippingPlane(i, false);
            if (lowerClipChanges_ || upperClipChanges_) setClippingRange(model_, i, lower, upper);
        }
    }
    if (to_.holds(Bookmark::ExpressionThresholds)) {
        if (scoreChanges_)
            model_.setLevelThreshold(lerp(from_.scoreLower, scoreLowerDelta_, e),
                                     lerp(from_.scoreUpper, scoreUpperDelta_, e), true);
        if (countChanges_)
            model_.setExpressorThreshold(lerp(from_.countLower, countLowerDelta_, e),
                                         lerp(from_.countUpper, countUpperDelta_, e), true);
    }
    if (rotating_ || anythingElse_) return true;
    to_.apply(model_);
    return false;
}

bool BookmarkInterpolator::slerp(const std::array<float, 4>& q0, const std::array<float, 4>& q1,
                                 std::array<float, 4>& out, float t) const {
    float dot = 0.0f;
    for (int i = 0; i < 4; ++i)
        dot += q0[i] * q1[i];
    // q and -q are the same rotation: going towards the nearer of the two keeps the turn under 180°.
    const float sign = dot < 0.0f ? -1.0f : 1.0f;
    dot = std::fabs(dot);
    // Within rounding of each other (about 0.06°) the quaternions count as the same rotation.
    const float theta = dot >= 0.9999995f ? 0.0f : std::acos(dot);
    const float s = std::sin(theta);
    if (s == 0.0f || std::isnan(s)) {
        out = q1;
        return false;
    }
    const float a = std::sin((1.0f - t) * theta) / s;
    const float b = sign * std::sin(t * theta) / s;
    float length = 0.0f;
    for (int i = 0; i < 4; ++i) {
        out[i] = a * q0[i] + b * q1[i];
        length += out[i] * out[i];
    }
    length = std::sqrt(length);
    if (length > 0.0f)
        for (float& v : out)
            v /= length;
    return true;
}

} // namespace volumira
