#include "app/ViewLayout.h"

namespace volumira {

ViewLayout computeViewLayout(const ViewLayoutInput& in) {
    ViewLayout l;
    const int w = in.width, h = in.height, b = in.blendingBarHeight, t = in.sideTabsHeight, d = in.headerHeight;
    const int left = w - ViewLayout::kSidePanelWidth;
    const int dataWidth = in.expanded ? w : left;
    const int panel = ViewLayout::kSidePanelWidth;
    l.dataView = {0, 0, dataWidth, h - b - ViewLayout::kZoomBarHeight};
    l.zoomBar = {0, h - b - ViewLayout::kZoomBarHeight, dataWidth, ViewLayout::kZoomBarHeight};
    l.blendingBar = {0, h - b, dataWidth, b};
    l.blendingBarShown = b > 0;
    l.header = {left, 0, panel, d};
    l.structureTree = {left, d - 1, panel, h - ViewLayout::kGeneListHeight - t - (d - 1)};
    l.bookmarksTree = {left, 0, panel, h - ViewLayout::kGeneListHeight - t};
    l.sideTabs = {left, h - ViewLayout::kGeneListHeight - t, panel, t};
    l.geneList = {left, h - ViewLayout::kGeneListHeight, panel, ViewLayout::kGeneListHeight};
    l.sidePanelShown = !in.expanded;
    if (l.sidePanelShown) {
        l.headerShown = in.sideTab != kBookmarksTab;
        l.alphabeticalShown = in.sideTab == kAlphabeticalTab;
        l.hierarchicalShown = in.sideTab == kHierarchicalTab;
        l.bookmarksShown = in.sideTab == kBookmarksTab;
    }
    return l;
}

} // namespace volumira
