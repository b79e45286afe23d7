#pragma once

// Genes with chosen cells in the small test atlas, and level colour tables with a black foot, for the
// expression drawing tests.

#include "atlas/ColourMap.h"
#include "expression/GeneExpression.h"
#include "expression/XprTestFiles.h"
#include "render/ExpressorStyle.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <vector>

namespace volumira::test {

// Structure labels of the small atlas.
inline constexpr std::uint8_t kCortex = 2, kThalamus = 3, kHypothalamus = 4;

struct CellSpec {
    int x, y, z;
    float level;
    std::uint16_t expressors;
    std::uint8_t label;
    float areaSpanned = 1.0f;
};

// The level table is black up to kLevelTableFoot and then (i, 255 - i, 100); the jet table is black up to
// kJetTableFoot and then (255, i, 0).
inline constexpr int kLevelTableFoot = 29;
inline constexpr int kJetTableFoot = 9;

class ExpressionFixture {
  public:
    ExpressionFixture() {
        levels_.load(writeTable("levels.map", kLevelTableFoot, [](int i) {
            return std::to_string(i) + " " + std::to_string(255 - i) + " 100";
        }));
        jet_.load(
            writeTable("jet.map", kJetTableFoot, [](int i) { return "255 " + std::to_string(i) + " 0"; }));
    }

    std::unique_ptr<GeneExpression> gene(std::vector<CellSpec> cells) {
        std::sort(cells.begin(), cells.end(), [](const CellSpec& a, const CellSpec& b) {
            return gridIdOf(a.x, a.y, a.z) < gridIdOf(b.x, b.y, b.z);
        });
        Bytes payload;
        for (int i = 0; i < 16; ++i)
            payload.i32(i == 15 ? static_cast<std::int32_t>(cells.size()) : 0);
        payload.str("Test gene").str("Tg1").str("").str("").str("");
        for (const CellSpec& c : cells) {
            atlas_.label(c.x, c.y, c.z, c.label);
            payload.raw(
                currentRecord(gridIdOf(c.x, c.y, c.z), 10.0f, c.areaSpanned, c.level, 1, 0, 0, c.expressors));
        }
        MemoryStream stream =
            streamOf(Bytes{}.u32(kXprMagic).i32(20000).raw(compressedBlock(payload.data)).data);
        return std::make_unique<GeneExpression>(stream, atlas_.view());
    }

    LevelColourTables tables() const { return {levels_, jet_}; }
    const ColourMap& levels() const { return levels_; }
    const ColourMap& jet() const { return jet_; }
    const Ontology& ontology() const { return atlas_.ontology(); }

  private:
    template <typename Entry> std::string writeTable(const char* name, int foot, Entry entry) {
        const std::string path = dir_.file(name);
        std::ofstream out(path);
        for (int i = 0; i < 256; ++i)
            out << (i <= foot ? std::string("0 0 0") : entry(i)) << "\n";
        return path;
    }

    TempDir dir_;
    SmallAtlas atlas_;
    ColourMap levels_, jet_;
};

} // namespace volumira::test
