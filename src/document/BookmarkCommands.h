#pragma once

#include "bookmarks/Bookmark.h"

#include <cstdint>
#include <memory>
#include <string>

namespace volumira {

class BrainExpressionModel;

// What is selected in the bookmarks tree, as far as placing a new item goes.
enum class BookmarkSelection { Nothing, Bookmark, Group };
// Where a new bookmark or group goes: after the selected bookmark under its parent, last in the selected
// group, or last at the top level.
enum class BookmarkPlacement { AfterSelected, LastInSelectedGroup, LastAtTopLevel };
BookmarkPlacement placementFor(BookmarkSelection selection);

// The settings the bookmark dialog may offer: all of them on the 3D scene, only the expression filter
// elsewhere, as the other parts belong to the scene.
std::int32_t offeredBookmarkSettings(std::int32_t remembered, bool restricted);
// The message the bookmark dialog shows instead of closing, or "" when it may close.
std::string bookmarkDialogProblem(const std::string& name, std::int32_t settings);

// The bookmark state of the window that the tree does not hold: the settings last chosen in the bookmark
// dialog and the snapback bookmark, which marks where the last jump started.
class BookmarkCommands {
  public:
    explicit BookmarkCommands(BrainExpressionModel& model) : model_(model) {}

    std::int32_t rememberedSettings() const { return remembered_; }
    // Kept only for the scene: off it the dialog offers the expression filter alone.
    void rememberSettings(std::int32_t settings, bool sceneShown);
    // A bookmark of the model's state now, holding the parts named by settings.
    Bookmark capture(const std::string& name, std::int32_t settings) const;

    // Replaces the snapback with the view as it is: every part on the scene, the expression filter
    // elsewhere.
    const Bookmark& markForSnapback(bool sceneShown);
    // Null until the first mark.
    const Bookmark* snapback() const { return snapback_.get(); }

  private:
    BrainExpressionModel& model_;
    std::int32_t remembered_ = Bookmark::AllSettings;
    std::unique_ptr<Bookmark> snapback_;
};

} // namespace volumira
