#include "expression/BrainExpressionModel.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace volumira;

namespace {

struct Stored {
    MemorySettingsStore store;
    UserPreferences preferences{store, PreferencesEnvironment::ofProcess()};
    std::int32_t read(const char* name) { return store.readInteger(kSettingsSection, name, -999); }
    void write(const char* name, std::int32_t value) { store.writeInteger(kSettingsSection, name, value); }
};

} // namespace

TEST(ModelPreferences, MissingSettingsGiveTheDefaults) {
    Stored stored;
    const BrainExpressionModel model(stored.preferences);
    EXPECT_EQ(model.compassLocation(), 0);
    EXPECT_EQ(model.toolMode(), 0);
    EXPECT_EQ(model.imageAlpha(), 0.5f);
    EXPECT_EQ(model.meshDisplayStyle(), 0);
    EXPECT_EQ(model.geneColourMode(), 0);
    EXPECT_FALSE(model.thresholdControlsShown());
}

TEST(ModelPreferences, StoredValuesOutsideTheirRangeFallBackToTheDefault) {
    struct Case {
        const char* name;
        std::int32_t stored, read;
    };
    const std::vector<Case> cases{
        {"CompassLocation", 2, 2},
        {"CompassLocation", 3, 0},
        {"CompassLocation", -1, 0},
        {"ToolMode", 1, 1},
        {"ToolMode", 5, 0},
        {"ImageAlpha", 150, 50},
        {"ImageAlpha", -1, 50},
        {"ImageAlpha", 0, 0},
        {"ImageAlpha", 100, 100},
        {"MeshDisplayStyle", 1, 1},
        {"MeshDisplayStyle", 2, 0},
        {"GeneColorMode", 3, 3},
        {"GeneColorMode", 4, 0},
        {"GeneTresholdControlsVisible", 7, 1},
        {"GeneTresholdControlsVisible", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + std::to_string(c.stored));
        Stored stored;
        stored.write(c.name, c.stored);
        const BrainExpressionModel model(stored.preferences);
        const std::string name = c.name;
        std::int32_t read = -1;
        if (name == "CompassLocation") read = model.compassLocation();
        if (name == "ToolMode") read = model.toolMode();
        if (name == "ImageAlpha") read = static_cast<std::int32_t>(model.imageAlpha() * 100.0f + 0.5f);
        if (name == "MeshDisplayStyle") read = model.meshDisplayStyle();
        if (name == "GeneColorMode") read = model.geneColourMode();
        if (name == "GeneTresholdControlsVisible") read = model.thresholdControlsShown() ? 1 : 0;
        EXPECT_EQ(read, c.read);
    }
}

TEST(ModelPreferences, DestructionWritesTheSettingsBack) {
    Stored stored;
    {
        BrainExpressionModel model(stored.preferences);
        model.setCompassLocation(2, false);
        model.setToolMode(1);
        model.setImageAlpha(0.25f, false);
        model.setMeshDisplayStyle(1, false);
        model.setGeneColourMode(3, false);
        model.setThresholdControlsShown(true, false);
    }
    EXPECT_EQ(stored.read("CompassLocation"), 2);
    EXPECT_EQ(stored.read("ToolMode"), 1);
    EXPECT_EQ(stored.read("ImageAlpha"), 25);
    EXPECT_EQ(stored.read("MeshDisplayStyle"), 1);
    EXPECT_EQ(stored.read("GeneColorMode"), 3);
    EXPECT_EQ(stored.read("GeneTresholdControlsVisible"), 1);
}

TEST(ModelPreferences, EveryImageAlphaPercentSurvivesARoundTrip) {
    for (std::int32_t percent = 0; percent <= 100; ++percent) {
        Stored stored;
        stored.write("ImageAlpha", percent);
        { const BrainExpressionModel model(stored.preferences); }
        EXPECT_EQ(stored.read("ImageAlpha"), percent);
    }
}
