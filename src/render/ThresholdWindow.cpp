#include "render/ThresholdWindow.h"

#include "atlas/ColourMap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace volumira {

namespace {

bool within(int x, int y, int x0, int x1, int y0, int y1) {
    return x >= x0 && x <= x1 && y >= y0 && y <= y1;
}

float clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}

int roundedPixels(float extent, float fraction) {
    return static_cast<int>(extent * fraction + 0.5f);
}

// The integer part in decimal, for any magnitude a threshold may hold.
std::string integerText(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", std::trunc(static_cast<double>(value)));
    return text;
}

// The integer part of a value, or "0" when it is not positive.
std::string lowerLabel(float value) {
    return value > 0.0f ? integerText(value) : std::string("0");
}

// The integer part of a value below the axis end, or ">" and the axis end.
std::string upperLabel(float value, int axisEnd) {
    if (value >= 0.0f && value < static_cast<float>(axisEnd)) return integerText(value);
    return ">" + std::to_string(axisEnd);
}

} // namespace

ThresholdGeometry::ThresholdGeometry(int displayWidth, int countTitleHeight, int baseLevel)
    : plotLeft_(displayWidth - kPlotSize), plotBottom_(countTitleHeight + 8), baseLevel_(baseLevel) {}

bool ThresholdGeometry::inPlot(int x, int y) const {
    return within(x, y, plotLeft(), plotRight(), plotBottom(), plotTop());
}

ThresholdWindow ThresholdGeometry::windowOf(const ThresholdRanges& r) const {
    const float span = static_cast<float>(kTopLevel - baseLevel_);
    const float minLevel = r.minLevel <= 0.0f ? static_cast<float>(baseLevel_) : r.minLevel;
    const float maxLevel = r.maxLevel < 0.0f ? static_cast<float>(kTopLevel) : r.maxLevel;
    const float minCount = r.minCount <= 0.0f ? 0.0f : r.minCount;
    const float maxCount = r.maxCount < 0.0f ? static_cast<float>(kTopCount) : r.maxCount;
    ThresholdWindow w;
    w.left = plotLeft() + roundedPixels(kPlotWidth, clamp01(minCount / kTopCount));
    w.right = plotLeft() + roundedPixels(kPlotWidth, clamp01(maxCount / kTopCount));
    w.bottom = plotBottom() + roundedPixels(kPlotSize, clamp01((minLevel - baseLevel_) / span));
    w.top = plotBottom() + roundedPixels(kPlotSize, clamp01((maxLevel - baseLevel_) / span));
    return w;
}

ThresholdRanges ThresholdGeometry::rangesOf(const ThresholdWindow& w) const {
    const float span = static_cast<float>(kTopLevel - baseLevel_);
    const float lowLevel = static_cast<float>(w.bottom - plotBottom()) / kPlotSize;
    const float highLevel = static_cast<float>(w.top - plotBottom()) / kPlotSize;
    const float lowCount = static_cast<float>(w.left - plotLeft()) / kPlotWidth;
    const float highCount = static_cast<float>(w.right - plotLeft()) / kPlotWidth;
    ThresholdRanges r;
    r.minLevel = lowLevel <= 0.0f ? 0.0f : baseLevel_ + lowLevel * span;
    r.maxLevel = highLevel >= 1.0f ? -1.0f : baseLevel_ + highLevel * span;
    r.minCount = lowCount <= 0.0f ? 0.0f : lowCount * kTopCount;
    r.maxCount = highCount >= 1.0f ? -1.0f : highCount * kTopCount;
    return r;
}

ThresholdGeometry::Zone ThresholdGeometry::hitZone(const ThresholdWindow& w, int x, int y) const {
    const int m = 5;
    if (within(x, y, w.left - m, w.left + m, w.top - m, w.top + m)) return kTopLeft;
    if (within(x, y, w.right - m, w.right + m, w.top - m, w.top + m)) return kTopRight;
    if (within(x, y, w.right - m, w.right + m, w.bottom - m, w.bottom + m)) return kBottomRight;
    if (within(x, y, w.left - m, w.left + m, w.bottom - m, w.bottom + m)) return kBottomLeft;
    if (within(x, y, w.left + m, w.right - m, w.top - m, w.top + m)) return kTopEdge;
    if (within(x, y, w.right - m, w.right + m, w.bottom + m, w.top - m)) return kRightEdge;
    if (within(x, y, w.left + m, w.right - m, w.bottom - m, w.bottom + m)) return kBottomEdge;
    if (within(x, y, w.left - m, w.left + m, w.bottom + m, w.top - m)) return kLeftEdge;
    if (within(x, y, w.left + m, w.right - m, w.bottom + m, w.top - m)) return kInside;
    return kNone;
}

ThresholdWindow ThresholdGeometry::drag(ThresholdWindow w, Zone zone, int x, int y, int grabX,
                                        int grabY) const {
    x = std::clamp(x, plotLeft(), plotRight());
    y = std::clamp(y, plotBottom(), plotTop());
    const bool movesLeft = zone == kBottomLeft || zone == kTopLeft || zone == kLeftEdge;
    const bool movesRight = zone == kBottomRight || zone == kTopRight || zone == kRightEdge;
    const bool movesBottom = zone == kBottomRight || zone == kBottomLeft || zone == kBottomEdge;
    const bool movesTop = zone == kTopRight || zone == kTopLeft || zone == kTopEdge;
    if (movesLeft) w.left = std::min(x, w.right - 1);
    if (movesRight) w.right = std::max(x, w.left + 1);
    if (movesBottom) w.bottom = std::min(y, w.top - 1);
    if (movesTop) w.top = std::max(y, w.bottom + 1);
    if (zone == kInside) {
        const int width = w.right - w.left, height = w.top - w.bottom;
        w.left = std::clamp(x - grabX, plotLeft(), std::max(plotLeft(), plotRight() - width));
        w.bottom = std::clamp(y - grabY, plotBottom(), std::max(plotBottom(), plotTop() - height));
        w.right = w.left + width;
        w.top = w.bottom + height;
    }
    w.left = std::clamp(w.left, plotLeft(), plotRight());
    w.right = std::clamp(w.right, plotLeft(), plotRight());
    w.bottom = std::clamp(w.bottom, plotBottom(), plotTop());
    w.top = std::clamp(w.top, plotBottom(), plotTop());
    return w;
}

int thresholdBaseLevel(const ColourMap& table) {
    return table.firstColourIndex() / 5 * 5;
}

int cursorShapeOfZone(int zone) {
    switch (zone) {
    case ThresholdGeometry::kBottomRight:
    case ThresholdGeometry::kTopLeft:
        return 5;
    case ThresholdGeometry::kBottomLeft:
    case ThresholdGeometry::kTopRight:
        return 4;
    case ThresholdGeometry::kBottomEdge:
    case ThresholdGeometry::kTopEdge:
        return 2;
    case ThresholdGeometry::kRightEdge:
    case ThresholdGeometry::kLeftEdge:
        return 3;
    case ThresholdGeometry::kInside:
        return 6;
    default:
        return 0;
    }
}

std::string minimumLevelLabel(float minLevel) {
    return lowerLabel(minLevel);
}
std::string maximumLevelLabel(float maxLevel) {
    return upperLabel(maxLevel, ThresholdGeometry::kTopLevel);
}
std::string minimumCountLabel(float minCount) {
    return lowerLabel(minCount);
}
std::string maximumCountLabel(float maxCount) {
    return upperLabel(maxCount, ThresholdGeometry::kTopCount);
}

} // namespace volumira
