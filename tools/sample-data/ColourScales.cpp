#include "sample-data/ColourScales.h"

#include "sample-data/Anatomy.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>
#include <vector>

namespace volumira::sample {

namespace {

using Rgb = std::array<int, 3>;

// Linear interpolation through colour stops placed at the given levels.
Rgb ramp(const std::vector<std::pair<double, Rgb>>& stops, double level) {
    if (level <= stops.front().first) return stops.front().second;
    for (std::size_t i = 1; i < stops.size(); ++i) {
        if (level > stops[i].first) continue;
        const double t = (level - stops[i - 1].first) / (stops[i].first - stops[i - 1].first);
        Rgb c;
        for (int ch = 0; ch < 3; ++ch)
            c[ch] = static_cast<int>(
                std::lround(stops[i - 1].second[ch] + t * (stops[i].second[ch] - stops[i - 1].second[ch])));
        return c;
    }
    return stops.back().second;
}

std::string mapText(const std::array<Rgb, 256>& entries) {
    std::ostringstream text;
    for (const Rgb& c : entries)
        text << c[0] << ' ' << c[1] << ' ' << c[2] << '\n';
    return text.str();
}

} // namespace

std::string atlasColourMapText() {
    std::array<Rgb, 256> entries;
    entries.fill({220, 220, 220});
    entries[0] = {255, 255, 255};
    for (const StructureInfo& s : sampleStructures())
        entries[static_cast<std::size_t>(s.index)] = s.rgb;
    return mapText(entries);
}

std::string heatColourMapText() {
    std::array<Rgb, 256> entries;
    const std::vector<std::pair<double, Rgb>> stops = {
        {0, {0, 0, 0}},       {1, {40, 0, 0}},       {70, {170, 10, 0}},    {130, {255, 60, 0}},
        {190, {255, 170, 0}}, {230, {255, 240, 60}}, {255, {255, 255, 255}}};
    for (int i = 0; i < 256; ++i)
        entries[static_cast<std::size_t>(i)] = ramp(stops, i);
    return mapText(entries);
}

std::string jetColourMapText() {
    std::array<Rgb, 256> entries;
    const std::vector<std::pair<double, Rgb>> stops = {{16, {0, 0, 140}},   {48, {0, 0, 255}},
                                                       {96, {0, 255, 255}}, {144, {255, 255, 0}},
                                                       {200, {255, 0, 0}},  {255, {128, 0, 0}}};
    for (int i = 0; i < 256; ++i)
        entries[static_cast<std::size_t>(i)] = i < 16 ? Rgb{0, 0, 0} : ramp(stops, i);
    return mapText(entries);
}

} // namespace volumira::sample
