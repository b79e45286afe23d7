#pragma once

namespace volumira {

class BrainExpressionModel;

// Where the keyboard focus is, as far as the commands care.
enum class FocusArea { Other, StructureTree, GeneList, SearchBox };

// What the enable and check rules of the commands look at: the detail model and the state of the window
// around it. The window fills one in whenever it refreshes its commands.
struct CommandContext {
    const BrainExpressionModel* model = nullptr;
    bool detailViewShown = true;
    bool atlasLoading = false;
    int tabCount = 1;
    int selectedTab = 0;
    FocusArea focus = FocusArea::Other;
    // The structure tree of the shown side tab has a selected item.
    bool treeHasSelection = false;
    int geneRowCount = 0;
    int selectedGeneCount = 0;
    // The first selected gene can be compared with others (its image series and plane allow it).
    bool firstSelectedAllowsSimilar = false;
    bool toolbarShown = true;
    bool statusBarShown = true;
    bool expanded = false;
    bool imageControlsVisible = false;
    // The image controls' state kept while a result page is shown.
    bool rememberedImageControls = false;
    // The side panel shows the bookmarks tree.
    bool bookmarksTabShown = false;
    bool snapbackExists = false;
};

} // namespace volumira
