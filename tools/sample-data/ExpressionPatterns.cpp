#include "sample-data/ExpressionPatterns.h"

#include "sample-data/Anatomy.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace volumira::sample {

namespace {

constexpr double kCoarseMm = 0.1;

// The isocortical areas, whose Nissl density tells the layer.
bool isIsocortexArea(const std::string& parent) {
    return parent == "Isocortex";
}

// The anatomy model draws each layer with its own stain density; sampled without cell noise the
// densities are fixed values, one per layer.
int layerOfDensity(std::uint8_t nissl) {
    switch (nissl) {
    case 74:
        return 1;
    case 204:
        return 2;
    case 229:
    case 179:
        return 4;
    case 159:
        return 5;
    case 189:
        return 6;
    default:
        return 0;
    }
}

CoarseAnatomy buildAnatomy() {
    CoarseAnatomy a;
    a.label.assign(kCoarseVoxels, 0);
    a.layer.assign(kCoarseVoxels, 0);
    std::array<bool, 256> isocortex{};
    for (const StructureInfo& s : sampleStructures()) {
        isocortex[static_cast<std::size_t>(s.index)] = isIsocortexArea(s.parent);
        // Ancestors by walking the parent acronyms.
        std::vector<int>& up = a.ancestors[static_cast<std::size_t>(s.index)];
        std::string acronym = s.acronym;
        while (!acronym.empty()) {
            const int index = structureIndexOf(acronym);
            up.push_back(index);
            acronym.clear();
            for (const StructureInfo& t : sampleStructures())
                if (t.index == index) acronym = t.parent;
        }
    }
    const double midline = kBoxWidthMm / 2;
    for (int k = 0; k < kCoarseZ; ++k)
        for (int j = 0; j < kCoarseY; ++j)
            for (int i = 0; i < kCoarseX; ++i) {
                const int v = i + kCoarseX * (j + kCoarseY * k);
                const Sample s = sampleAt((i + 0.5) * kCoarseMm, (j + 0.5) * kCoarseMm,
                                          (k + 0.5) * kCoarseMm - midline, 0);
                a.label[static_cast<std::size_t>(v)] = s.label;
                if (!s.label) continue;
                a.brain.push_back(v);
                if (isocortex[s.label])
                    a.layer[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(layerOfDensity(s.nissl));
            }
    return a;
}

double hash01(std::uint32_t h) {
    return static_cast<double>(h >> 8) / 16777216.0;
}

// Level and density of every (label, layer) pair: the strongest rule that covers it.
struct PatternTable {
    std::array<std::array<float, 7>, 256> level{}, density{};
};

PatternTable tabulate(const ExpressionPattern& pattern) {
    const CoarseAnatomy& a = coarseAnatomy();
    PatternTable t;
    for (int label = 1; label < 256; ++label)
        for (int layer = 0; layer < 7; ++layer)
            for (const PatternRule& rule : pattern.rules) {
                const auto& up = a.ancestors[static_cast<std::size_t>(label)];
                if (std::find(up.begin(), up.end(), rule.structure) == up.end()) continue;
                if (rule.layers && !(rule.layers & (1u << layer))) continue;
                float& level = t.level[static_cast<std::size_t>(label)][static_cast<std::size_t>(layer)];
                if (rule.level > level) {
                    level = rule.level;
                    t.density[static_cast<std::size_t>(label)][static_cast<std::size_t>(layer)] =
                        rule.density;
                }
            }
    return t;
}

float parseNumber(const std::string& text, const std::string& rule) {
    float value = 0.0f;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value >= 0.0f && value <= 1.0f))
        throw std::invalid_argument("Bad expression pattern rule: " + rule);
    return value;
}

} // namespace

const CoarseAnatomy& coarseAnatomy() {
    static const CoarseAnatomy anatomy = buildAnatomy();
    return anatomy;
}

int structureIndexOf(const std::string& acronym) {
    for (const StructureInfo& s : sampleStructures())
        if (s.acronym == acronym) return s.index;
    return -1;
}

std::uint32_t mixHash(std::uint32_t a, std::uint32_t b) {
    std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

ExpressionPattern parsePattern(const std::string& text) {
    ExpressionPattern pattern;
    if (text.empty()) return pattern;
    for (std::size_t start = 0; start <= text.size();) {
        const auto end = std::min(text.find(';', start), text.size());
        const std::string rule = text.substr(start, end - start);
        start = end + 1;
        const auto equals = rule.find('='), slash = rule.find('/');
        if (equals == std::string::npos || slash == std::string::npos || slash < equals)
            throw std::invalid_argument("Bad expression pattern rule: " + rule);
        std::string where = rule.substr(0, equals);
        PatternRule r;
        if (const auto at = where.find('@'); at != std::string::npos) {
            for (const char c : where.substr(at + 1)) {
                const int layer = c - '0';
                if (std::find(kLayers.begin(), kLayers.end(), layer) == kLayers.end())
                    throw std::invalid_argument("Bad expression pattern rule: " + rule);
                r.layers |= 1u << layer;
            }
            if (!r.layers) throw std::invalid_argument("Bad expression pattern rule: " + rule);
            where.resize(at);
        }
        r.structure = structureIndexOf(where);
        if (r.structure < 0) throw std::invalid_argument("Unknown structure in expression pattern: " + where);
        r.level = parseNumber(rule.substr(equals + 1, slash - equals - 1), rule);
        r.density = parseNumber(rule.substr(slash + 1), rule);
        pattern.rules.push_back(r);
    }
    return pattern;
}

std::string patternText(const ExpressionPattern& pattern) {
    std::ostringstream out;
    out.precision(3);
    for (std::size_t i = 0; i < pattern.rules.size(); ++i) {
        const PatternRule& r = pattern.rules[i];
        if (i) out << ';';
        for (const StructureInfo& s : sampleStructures())
            if (s.index == r.structure) out << s.acronym;
        if (r.layers) {
            out << '@';
            for (const int layer : kLayers)
                if (r.layers & (1u << layer)) out << layer;
        }
        out << '=' << r.level << '/' << r.density;
    }
    return out.str();
}

std::vector<std::uint8_t> expressionGrid(const ExpressionPattern& pattern, const SeriesRealisation& series) {
    const CoarseAnatomy& a = coarseAnatomy();
    const PatternTable table = tabulate(pattern);
    std::vector<std::uint8_t> grid(kCoarseVoxels, 0);
    const std::uint32_t valueSeed = series.seriesSeed ^ 0x5BD1E995u;
    for (const std::int32_t v : a.brain) {
        const auto at = static_cast<std::size_t>(v);
        const int k = v / (kCoarseX * kCoarseY);
        if (series.sagittal && k >= kHemisphereZ) continue;
        const std::size_t label = a.label[at], layer = a.layer[at];
        double density = table.density[label][layer];
        if (density <= 0.0) continue;
        if (pattern.clustered) {
            // Clusters of 300 µm blocks, in the same places for every series of the gene.
            const int i = v % kCoarseX, j = (v / kCoarseX) % kCoarseY;
            const int mirroredK = std::min(k, kCoarseZ - 2 - k);
            const std::uint32_t block =
                static_cast<std::uint32_t>(i / 3 + 64 * (j / 3 + 32 * (std::max(mirroredK, 0) / 3)));
            density = std::min(1.0, density * (hash01(mixHash(series.geneSeed, block)) > 0.6 ? 2.2 : 0.2));
        }
        if (hash01(mixHash(series.seriesSeed, static_cast<std::uint32_t>(v))) >= density) continue;
        const double jitter = 0.75 + 0.5 * hash01(mixHash(valueSeed, static_cast<std::uint32_t>(v)));
        const double value = 5.0 + table.level[label][layer] * series.gain * 250.0 * jitter;
        grid[at] = static_cast<std::uint8_t>(std::clamp(value, 5.0, 255.0));
    }
    return grid;
}

} // namespace volumira::sample
