#pragma once

#include "bookmarks/BookmarkInterpolator.h"

#include <array>
#include <memory>

namespace volumira {

class Bookmark;
class BrainExpressionModel;

// Takes the 3D view to bookmarks, animated when there is time and something to animate. The owner
// steps it from a timer of kTickMilliseconds while `running()`. At most one animation runs.
class BookmarkNavigator {
  public:
    static constexpr int kTickMilliseconds = 40;
    static constexpr double kShortestAnimation = 0.04;
    static constexpr double kCentringSeconds = 0.5;

    explicit BookmarkNavigator(BrainExpressionModel& model, BookmarkInterpolator::Clock clock = {});
    ~BookmarkNavigator();

    // Applies the bookmark at once, or starts animating towards it; true when an animation started.
    bool goTo(const Bookmark& target, bool immediate, double durationSeconds);
    // Moves the view's origin, keeping its rotation; animated over half a second when animation is on.
    bool centreOn(const std::array<float, 3>& origin, double preferredDurationSeconds);
    // One timer step; false (and the animation gone) once the target is reached.
    bool tick();
    // Drops a running animation where it stands.
    void stop() { animation_.reset(); }
    bool running() const { return animation_ != nullptr; }

  private:
    bool animate(const Bookmark& target, double durationSeconds);

    BrainExpressionModel& model_;
    BookmarkInterpolator::Clock clock_;
    std::unique_ptr<BookmarkInterpolator> animation_;
};

} // namespace volumira
