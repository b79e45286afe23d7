#pragma once

#include "expression/BrainExpressionModel.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"

namespace volumira::test {

// Preferences of one model's own, so that what one test's model writes back cannot reach the next.
struct OwnPreferences {
    MemorySettingsStore store;
    UserPreferences preferences{store, PreferencesEnvironment::ofProcess()};
};

// A model over fresh in-memory preferences; they are made before the model and outlive it.
class TestModel : private OwnPreferences, public BrainExpressionModel {
  public:
    TestModel() : OwnPreferences(), BrainExpressionModel(OwnPreferences::preferences) {}
};

} // namespace volumira::test
