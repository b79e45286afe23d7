#pragma once

#include <cstdint>

namespace volumira {

class BrainExpressionModel;

// What changed in a model; codes are stable because bookmarks and views switch on them.
enum class ModelEvent : std::int32_t {
    ExpressionStructuresChanged = 1,
    ShownStructuresChanged = 2,
    GeneAdded = 3,
    GeneRemoving = 4,
    SectionMoved = 5,
    DisplayFlagChanged = 6,
    MeshDisplayStyleChanged = 7,
    GeneColourModeChanged = 8,
    CompassLocationChanged = 9,
    RotationChanged = 10,
    TranslationChanged = 11,
    ZoomChanged = 12,
    ClippingPlaneChanged = 13,
    ClippingPlanesShownChanged = 14,
    GeneColourChanged = 15,
    GeneVisibilityChanged = 16,
    SelectionChanged = 17,
    CurrentGeneChanged = 18,
    HighlightedStructureChanged = 19,
    ViewReset = 20,
    ImageAlphaChanged = 21,
    ThresholdChanged = 22,
    ThresholdControlsShownChanged = 23,
    ImagePanelModeChanged = 24,
};

// Told synchronously of every announced model change; may call the model's setters in turn.
class BrainExpressionModelListener {
  public:
    virtual ~BrainExpressionModelListener() = default;
    virtual void modelChanged(ModelEvent event, BrainExpressionModel& model, std::int32_t argument) = 0;
};

} // namespace volumira
