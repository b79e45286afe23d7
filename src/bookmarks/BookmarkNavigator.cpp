#include "bookmarks/BookmarkNavigator.h"

#include "bookmarks/Bookmark.h"
#include "expression/BrainExpressionModel.h"

namespace volumira {

BookmarkNavigator::BookmarkNavigator(BrainExpressionModel& model, BookmarkInterpolator::Clock clock)
    : model_(model), clock_(std::move(clock)) {}

BookmarkNavigator::~BookmarkNavigator() = default;

bool BookmarkNavigator::goTo(const Bookmark& target, bool immediate, double durationSeconds) {
    animation_.reset();
    constexpr std::int32_t kAnimated = Bookmark::ViewAngle | Bookmark::ViewZoom | Bookmark::AtlasSections |
                                       Bookmark::ClippingPlanes | Bookmark::ExpressionThresholds;
    // Structure sets are never animated: a bookmark holding nothing else is applied at once.
    if (!(durationSeconds > kShortestAnimation) || immediate || !target.holds(kAnimated)) {
        target.apply(model_);
        return false;
    }
    return animate(target, durationSeconds);
}

bool BookmarkNavigator::centreOn(const std::array<float, 3>& origin, double preferredDurationSeconds) {
    animation_.reset();
    if (!(preferredDurationSeconds > kShortestAnimation)) {
        model_.setTranslation(origin, true);
        return false;
    }
    Bookmark shift("Origin Shift", Bookmark::ViewAngle);
    shift.rotation = model_.rotation();
    shift.origin = origin;
    return animate(shift, kCentringSeconds);
}

bool BookmarkNavigator::animate(const Bookmark& target, double durationSeconds) {
    const Bookmark current("Temp", target.settings, model_);
    animation_ = std::make_unique<BookmarkInterpolator>(current, target, model_, durationSeconds, clock_);
    return true;
}

bool BookmarkNavigator::tick() {
    if (!animation_) return false;
    if (animation_->tick()) return true;
    animation_.reset();
    return false;
}

} // namespace volumira
