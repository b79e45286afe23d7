#pragma once

#include <string>

namespace volumira {

class ColourMap;

// The level and expressor-count thresholds as the model keeps them; a negative maximum is unbounded.
struct ThresholdRanges {
    float minLevel = 0.0f, maxLevel = -1.0f;
    float minCount = 0.0f, maxCount = -1.0f;
};

// The draggable window of the threshold plot, in overlay pixels (origin at the bottom left).
struct ThresholdWindow {
    int left = 0, right = 0, bottom = 0, top = 0;
    friend bool operator==(const ThresholdWindow&, const ThresholdWindow&) = default;
};

// The arithmetic of the threshold control: where the plot lies for a display width and title height,
// which part of the window a point touches, how a drag moves the window and which thresholds it means.
class ThresholdGeometry {
  public:
    static constexpr int kPlotSize = 150;
    // The plot's horizontal extent; the image's first five columns hold the colour scale.
    static constexpr int kPlotWidth = 145;
    static constexpr int kTopLevel = 260;
    static constexpr int kTopCount = 35;

    // Hit zones: corners, edges, the inside; 0 outside the window.
    enum Zone {
        kNone = 0,
        kBottomRight = 1,
        kBottomLeft = 2,
        kTopRight = 3,
        kTopLeft = 4,
        kBottomEdge = 5,
        kRightEdge = 6,
        kLeftEdge = 7,
        kTopEdge = 8,
        kInside = 9
    };

    ThresholdGeometry(int displayWidth, int countTitleHeight, int baseLevel);

    int plotLeft() const { return plotLeft_; }
    int plotRight() const { return plotLeft_ + kPlotWidth; }
    int plotBottom() const { return plotBottom_; }
    int plotTop() const { return plotBottom_ + kPlotSize; }
    int baseLevel() const { return baseLevel_; }
    bool inPlot(int x, int y) const;

    ThresholdWindow windowOf(const ThresholdRanges& ranges) const;
    ThresholdRanges rangesOf(const ThresholdWindow& window) const;
    Zone hitZone(const ThresholdWindow& window, int x, int y) const;
    // One drag step of the zone taken at the press; `grabX`, `grabY` is the pointer's offset from the
    // window's lower-left corner at the press (used by kInside).
    ThresholdWindow drag(ThresholdWindow window, Zone zone, int x, int y, int grabX, int grabY) const;

  private:
    int plotLeft_, plotBottom_, baseLevel_;
};

// Level below which the table is black, in steps of five.
int thresholdBaseLevel(const ColourMap& table);
// The pointer shape of a zone, as a setCursorShape code.
int cursorShapeOfZone(int zone);

// The value labels at the ends of the plot's axes.
std::string minimumLevelLabel(float minLevel);
std::string maximumLevelLabel(float maxLevel);
std::string minimumCountLabel(float minCount);
std::string maximumCountLabel(float maxCount);

} // namespace volumira
