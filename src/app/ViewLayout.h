#pragma once

#include "preferences/PreferenceRecords.h"

namespace volumira {

struct LayoutRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const LayoutRect&) const = default;
};

// Where the main view puts its windows for a client size: the data view, zoom bar and optional image
// blending bar on the left, the side panel (375 pixels) on the right.
struct ViewLayout {
    static constexpr int kSidePanelWidth = 375;
    static constexpr int kGeneListHeight = 120;
    static constexpr int kZoomBarHeight = 25;

    LayoutRect dataView, zoomBar, blendingBar, header, structureTree, bookmarksTree, sideTabs, geneList;
    bool blendingBarShown = false;
    // Nothing of the side panel shows when expanded; otherwise the header and a structure tree, or the
    // bookmarks tree, by side tab.
    bool headerShown = false, alphabeticalShown = false, hierarchicalShown = false, bookmarksShown = false;
    bool sidePanelShown = false;
};

struct ViewLayoutInput {
    int width = 0, height = 0;
    // Height of the image blending bar when shown, else 0.
    int blendingBarHeight = 0;
    int sideTabsHeight = 0;
    int headerHeight = 0;
    bool expanded = false;
    SideTab sideTab = kHierarchicalTab;
};

ViewLayout computeViewLayout(const ViewLayoutInput& in);

} // namespace volumira
