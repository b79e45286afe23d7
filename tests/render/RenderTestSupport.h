#pragma once

// Shared pieces of the render tests: a model over private preferences, a tool owner that records what
// the tools ask of it, and the small ontology of the atlas tests.

#include "../atlas/AtlasTestData.h"
#include "../expression/TestModel.h"
#include "atlas/Ontology.h"
#include "render/ToolOwner.h"
#include "support/TempDir.h"

#include <vector>

namespace volumira::test {

// Rebuilds its expression, as the scene does, when the model announces a new clipping box.
class RecordingOwner : public ToolOwner, public BrainExpressionModelListener {
  public:
    RecordingOwner() { testModel.addListener(this); }
    ~RecordingOwner() override { testModel.removeListener(this); }
    RecordingOwner(const RecordingOwner&) = delete;
    RecordingOwner& operator=(const RecordingOwner&) = delete;

    void spin(bool on) override { spins.push_back(on); }
    void pan(int dx, int dy) override { pans.push_back({dx, dy}); }
    BrainExpressionModel& model() override { return testModel; }
    void modelChanged(ModelEvent event, BrainExpressionModel&, std::int32_t) override {
        if (event == ModelEvent::ClippingPlaneChanged) ++rebuilds;
    }

    TestModel testModel;
    std::vector<bool> spins;
    std::vector<std::array<int, 2>> pans;
    int rebuilds = 0;
};

// root (index 1) with CTX (2), TH (3) and HY (4) below it.
inline Ontology testOntology(const TempDir& dir) {
    writeBytes(dir.file("ontology.csv"), kTestOntology);
    return Ontology(dir.file("ontology.csv"));
}

} // namespace volumira::test
