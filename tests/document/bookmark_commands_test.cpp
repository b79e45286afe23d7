#include "document/BookmarkCommands.h"
#include "document/CommandTable.h"
#include "expression/TestModel.h"

#include <gtest/gtest.h>

namespace volumira {
namespace {

using I = CommandId;

TEST(BookmarkCommands, TheBookmarkCommandsFollowTheSideTabAndTheSnapback) {
    test::TestModel model;
    CommandContext context;
    context.model = &model;
    const struct {
        bool bookmarksTab, snapback;
        bool newItems, goBack;
    } cases[] = {{false, false, false, false}, {true, false, true, false}, {false, true, false, true},
                 {true, true, true, true}};
    for (const auto& c : cases) {
        context.bookmarksTabShown = c.bookmarksTab;
        context.snapbackExists = c.snapback;
        for (const bool shown : {true, false}) {
            context.detailViewShown = shown;
            EXPECT_EQ(commandState(I::NewBookmark, context).enabled, c.newItems);
            EXPECT_EQ(commandState(I::NewGroup, context).enabled, c.newItems);
            EXPECT_TRUE(commandState(I::MarkForSnapback, context).enabled);
            EXPECT_EQ(commandState(I::GoBack, context).enabled, c.goBack);
        }
    }
    EXPECT_EQ(menuShortcut(commandRow(I::NewBookmark)), "Ctrl+D");
    EXPECT_EQ(menuShortcut(commandRow(I::MarkForSnapback)), "Ctrl+M");
    EXPECT_EQ(menuShortcut(commandRow(I::GoBack)), "Ctrl+G");
}

TEST(BookmarkCommands, SnapbackHoldsTheWholeViewOnTheSceneAndTheFilterElsewhere) {
    test::TestModel model;
    BookmarkCommands commands(model);
    EXPECT_EQ(commands.snapback(), nullptr);
    model.setZoom(90.0f, false);
    StructureSet filter;
    filter.set(5);
    model.setExpressionStructures(filter, false);
    const Bookmark& first = commands.markForSnapback(true);
    EXPECT_EQ(first.name(), "Snapback");
    EXPECT_EQ(first.settings, Bookmark::AllSettings);
    EXPECT_EQ(first.zoom, 90.0f);
    EXPECT_EQ(first.expressionFilter, filter);

    // A second mark replaces the first.
    model.setZoom(60.0f, false);
    commands.markForSnapback(false);
    ASSERT_NE(commands.snapback(), nullptr);
    EXPECT_EQ(commands.snapback()->settings, Bookmark::ExpressionFilter);
    EXPECT_EQ(commands.snapback()->zoom, 40.0f);
    EXPECT_EQ(commands.snapback()->expressionFilter, filter);
}

TEST(BookmarkCommands, TheDialogRulesAndTheRememberedSettings) {
    test::TestModel model;
    BookmarkCommands commands(model);
    EXPECT_EQ(commands.rememberedSettings(), Bookmark::AllSettings);
    EXPECT_EQ(offeredBookmarkSettings(commands.rememberedSettings(), false), Bookmark::AllSettings);
    EXPECT_EQ(offeredBookmarkSettings(commands.rememberedSettings(), true), Bookmark::ExpressionFilter);
    commands.rememberSettings(Bookmark::ExpressionFilter, false);
    EXPECT_EQ(commands.rememberedSettings(), Bookmark::AllSettings);
    commands.rememberSettings(Bookmark::ViewZoom | Bookmark::ViewAngle, true);
    EXPECT_EQ(commands.rememberedSettings(), Bookmark::ViewZoom | Bookmark::ViewAngle);

    // No setting is reported before an empty name.
    EXPECT_EQ(bookmarkDialogProblem("", 0), "Please select at least 1 setting to bookmark.");
    EXPECT_EQ(bookmarkDialogProblem("Mine", 0), "Please select at least 1 setting to bookmark.");
    EXPECT_EQ(bookmarkDialogProblem("", Bookmark::ViewZoom), "Please enter a name for the bookmark.");
    EXPECT_EQ(bookmarkDialogProblem("Mine", Bookmark::ViewZoom), "");

    EXPECT_EQ(placementFor(BookmarkSelection::Nothing), BookmarkPlacement::LastAtTopLevel);
    EXPECT_EQ(placementFor(BookmarkSelection::Bookmark), BookmarkPlacement::AfterSelected);
    EXPECT_EQ(placementFor(BookmarkSelection::Group), BookmarkPlacement::LastInSelectedGroup);

    model.setZoom(77.0f, false);
    const Bookmark zoom = commands.capture("Zoom", Bookmark::ViewZoom);
    EXPECT_EQ(zoom.name(), "Zoom");
    EXPECT_EQ(zoom.zoom, 77.0f);
    EXPECT_EQ(zoom.rotation, (std::array<float, 4>{0, 0, 0, 0}));
}

} // namespace
} // namespace volumira
