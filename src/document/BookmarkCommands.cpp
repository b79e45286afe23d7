#include "document/BookmarkCommands.h"

#include "expression/BrainExpressionModel.h"

namespace volumira {

BookmarkPlacement placementFor(BookmarkSelection selection) {
    switch (selection) {
    case BookmarkSelection::Bookmark: return BookmarkPlacement::AfterSelected;
    case BookmarkSelection::Group: return BookmarkPlacement::LastInSelectedGroup;
    default: return BookmarkPlacement::LastAtTopLevel;
    }
}

std::int32_t offeredBookmarkSettings(std::int32_t remembered, bool restricted) {
    return restricted ? std::int32_t{Bookmark::ExpressionFilter} : remembered;
}

std::string bookmarkDialogProblem(const std::string& name, std::int32_t settings) {
    if (settings == 0) return "Please select at least 1 setting to bookmark.";
    if (name.empty()) return "Please enter a name for the bookmark.";
    return "";
}

void BookmarkCommands::rememberSettings(std::int32_t settings, bool sceneShown) {
    if (sceneShown) remembered_ = settings;
}

Bookmark BookmarkCommands::capture(const std::string& name, std::int32_t settings) const {
    return Bookmark(name, settings, model_);
}

const Bookmark& BookmarkCommands::markForSnapback(bool sceneShown) {
    const std::int32_t settings = sceneShown ? std::int32_t{Bookmark::AllSettings} : std::int32_t{Bookmark::ExpressionFilter};
    snapback_ = std::make_unique<Bookmark>("Snapback", settings, model_);
    return *snapback_;
}

} // namespace volumira
