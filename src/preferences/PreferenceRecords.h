#pragma once

// The groups of settings that other parts of the program keep in the preferences' section.

#include <cstdint>

namespace volumira {

// The state an expression model starts from and leaves behind; ranges are checked by the model.
struct ModelSettings {
    std::int32_t compassLocation = 0;
    std::int32_t toolMode = 0;
    std::int32_t imageAlphaPercent = 50;
    std::int32_t meshDisplayStyle = 0;
    std::int32_t geneColorMode = 0;
    std::int32_t thresholdControlsVisible = 0;

    bool operator==(const ModelSettings&) const = default;
};

// Side tabs of the main view.
enum SideTab : std::int32_t { kAlphabeticalTab = 0, kHierarchicalTab = 1, kBookmarksTab = 2 };

struct ViewSettings {
    std::int32_t sideTab = kHierarchicalTab;
    bool expandedDisplay = false;
    bool imageControlsVisible = false;

    bool operator==(const ViewSettings&) const = default;
};

// A window rectangle in desktop pixels, edges as stored.
struct WindowRect {
    std::int32_t top = 0;
    std::int32_t left = 0;
    std::int32_t bottom = 0;
    std::int32_t right = 0;
};

// What the main window is placed by: the desktop's work area origin, the screen and icon sizes.
struct ScreenMetrics {
    std::int32_t workAreaLeft = 0;
    std::int32_t workAreaTop = 0;
    std::int32_t screenWidth = 0;
    std::int32_t screenHeight = 0;
    std::int32_t iconWidth = 0;
    std::int32_t iconHeight = 0;
};

// Where the main window opens, and how it is first shown.
struct WindowPlacement {
    std::int32_t showState = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool operator==(const WindowPlacement&) const = default;
};

} // namespace volumira
