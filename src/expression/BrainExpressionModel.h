#pragma once

#include "atlas/StructureSet.h"
#include "expression/BrainExpressionModelListener.h"
#include "expression/CellFilter.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace volumira {

class GeneExpression;
class Ontology;
class UserPreferences;
struct ExpressionCell;
struct Structure;

// The state of one document's 3D view: its genes, their colouring and filters, the structures drawn,
// the camera, the section planes, the clipping box and the selection. Changes others must see are
// announced to the registered listeners. The model keeps its own rules about what follows from a
// change (a selected cell that is no longer drawn is dropped, the current gene follows the user's
// choices), each announced after the event that caused it, so listeners only read and never repair.
// Interface thread only.
class BrainExpressionModel {
  public:
    // Coarse atlas grid: anterior-posterior, dorsal-ventral, left-right.
    static constexpr std::array<int, 3> kGridSize{133, 81, 115};
    static constexpr int kDisplayFlagCount = 8;
    static constexpr int kFlagCoronalSection = 0;
    static constexpr int kFlagHorizontalSection = 1;
    static constexpr int kFlagSagittalSection = 2;
    static constexpr int kFlagClippingPlanesShown = 3;
    static constexpr int kFlagAuxiliary = 5;
    static constexpr int kFlagThresholdControlsShown = 6;
    static constexpr float kMinZoom = 15.0f;
    static constexpr float kMaxZoom = 250.0f;
    static constexpr float kDefaultZoom = 40.0f;
    static constexpr int kPaletteSize = 5;
    static const std::array<std::array<float, 3>, kPaletteSize> kGenePalette;

    // Display settings come from the process-wide preferences.
    BrainExpressionModel();
    // Display settings come from these preferences, which must outlive the model.
    explicit BrainExpressionModel(UserPreferences& preferences);
    // Writes the display settings back to the preferences.
    virtual ~BrainExpressionModel();
    BrainExpressionModel(const BrainExpressionModel&) = delete;
    BrainExpressionModel& operator=(const BrainExpressionModel&) = delete;

    virtual bool auxiliaryFlag() const { return displayFlags_[kFlagAuxiliary]; }
    virtual void setAuxiliaryFlag(bool value) { displayFlags_[kFlagAuxiliary] = value; }

    virtual const StructureSet& expressionStructures() const { return expressionStructures_; }
    virtual void setExpressionStructures(const StructureSet& set, bool notify);
    virtual void showStructuresOfGenes(const int* geneIndices, int count);
    virtual const StructureSet& shownStructures() const { return shownStructures_; }
    virtual void setShownStructures(const StructureSet& set, bool notify);
    // Both show a fixed choice of structures of the process-wide atlas's ontology, or of the one given.
    virtual void showAllLeafStructures();
    virtual void showSearchableStructures();
    void showAllLeafStructures(const Ontology& ontology);
    void showSearchableStructures(const Ontology& ontology);

    // Takes ownership and gives the gene the next palette colour.
    virtual void addGene(std::unique_ptr<GeneExpression> gene);
    // Reads the gene with the process-wide atlas; read errors reach the caller.
    virtual void addGeneFromFile(const std::string& path);
    virtual int geneCount() const { return static_cast<int>(genes_.size()); }
    virtual GeneExpression& geneAt(int index) const;
    virtual void removeGene(int index);
    // When on, a gene added becomes the current gene, and so does the gene of a cell selected with
    // announcement (when the gene is one of the model's); each announced after the event that caused it.
    // Off for a bare model; a document whose genes the user chooses from turns it on.
    void setTracksCurrentGene(bool on) { tracksCurrentGene_ = on; }
    bool tracksCurrentGene() const { return tracksCurrentGene_; }
    virtual void setGeneColour(int index, float red, float green, float blue);
    virtual void setGeneVisible(int index, bool visible);

    virtual int toolMode() const { return toolMode_; }
    virtual void setToolMode(int mode) { toolMode_ = mode; }

    virtual void setSectionPosition(int axis, float position, bool notify);
    virtual float sectionPosition(int axis) const;
    virtual bool displayFlag(int position) const;
    virtual void setDisplayFlag(int position, bool value, bool notify);
    virtual void setClippingPlane(int axis, float value, bool isMinimum, bool notify);
    virtual float clippingPlane(int axis, bool isMinimum) const;
    // A drag of a clipping face moves it with unannounced steps while the interactive-change flag is up.
    // Its end drops the flag and announces the axis once, so what is built from the box is rebuilt.
    virtual void endClippingDrag(int axis);
    virtual void setClippingPlanesShown(bool value, bool notify);
    virtual bool clippingPlanesShown() const { return displayFlags_[kFlagClippingPlanesShown]; }

    virtual const std::array<float, 4>& rotation() const { return rotation_; }
    virtual void setRotation(const std::array<float, 4>& quaternion, bool notify);
    virtual const std::array<float, 3>& translation() const { return translation_; }
    virtual void setTranslation(const std::array<float, 3>& vector, bool notify);
    virtual float zoom() const { return zoom_; }
    virtual void setZoom(float value, bool notify);
    virtual void resetView();

    virtual int meshDisplayStyle() const { return meshDisplayStyle_; }
    virtual void setMeshDisplayStyle(int value, bool notify);
    virtual void setGeneColourMode(int value, bool notify);
    virtual int geneColourMode() const { return geneColourMode_; }
    virtual void setCompassLocation(int value, bool notify);
    virtual int compassLocation() const { return compassLocation_; }
    virtual float annotationBlend() const { return 0.5f; }

    virtual void selectCell(const GeneExpression* gene, const ExpressionCell* cell, bool notify);
    virtual const GeneExpression* selectedCellGene() const { return selectedGene_; }
    // -1 when no cell is selected or its gene is not in the model.
    virtual int selectedCellGeneIndex() const;
    virtual const ExpressionCell* selectedCell() const { return selectedCell_; }
    // The server page of the selected cell's section image, centred on the cell; false (out empty)
    // without a selected cell, its gene or a usable image of its section.
    virtual bool selectedCellImageUrl(std::string& out) const;

    virtual void setCurrentGene(const GeneExpression* gene, bool notify);
    virtual const GeneExpression* currentGene() const { return currentGene_; }
    virtual void setHighlightedStructure(const Structure* structure, bool notify);
    virtual const Structure* highlightedStructure() const { return highlightedStructure_; }

    virtual float imageAlpha() const { return imageAlpha_; }
    virtual void setImageAlpha(float value, bool notify);
    virtual void levelThreshold(float& minimum, float& maximum) const;
    virtual void setLevelThreshold(float minimum, float maximum, bool notify);
    virtual void expressorThreshold(float& minimum, float& maximum) const;
    virtual void setExpressorThreshold(float minimum, float maximum, bool notify);
    // Both ranges at once, as a drag of the threshold window sets them: one announcement for the two.
    virtual void setThresholds(float minLevel, float maxLevel, float minCount, float maxCount, bool notify);
    virtual void setThresholdControlsShown(bool value, bool notify);
    virtual bool thresholdControlsShown() const { return displayFlags_[kFlagThresholdControlsShown]; }
    virtual void setImagePanelMode(int value, bool notify);
    virtual int imagePanelMode() const { return imagePanelMode_; }

    // The tables whose black entries hide cells in colour modes 2 and 3, the ones the scene draws with, so
    // that a selected cell is dropped when it is no longer drawn. Without them only the structure filter,
    // thresholds and clipping box count. They must outlive the model or be cleared first.
    void setLevelColourTables(const LevelColourTables& tables) { levelTables_.emplace(tables); }
    void clearLevelColourTables() { levelTables_.reset(); }

    // Null and already registered listeners are ignored.
    virtual void addListener(BrainExpressionModelListener* listener);
    virtual void removeListener(BrainExpressionModelListener* listener);
    virtual void notify(ModelEvent event, std::int32_t argument = 0);
    // Clipping box (the whole grid), sections, camera and thresholds back to their defaults; each clipping
    // face, section and threshold that changes is announced, the camera is not.
    virtual void resetViewState();

  private:
    static void checkSectionAxis(int axis);
    static void checkClippingAxis(int axis);
    void checkGeneIndex(int index) const;
    // Shared by both thresholds: clamps, stores and reports whether anything changed.
    static bool storeThreshold(std::array<float, 2>& stored, float minimum, float maximum);
    // Announces a threshold change that happened, when asked, and applies what follows from it.
    void announceThresholds(bool changed, bool notify);

    void loadSettings();
    // After an announced change of what is drawn: a selected cell that is no longer drawn is dropped.
    void keepSelectionShown();
    // Whether the gene is one of the model's.
    bool holdsGene(const GeneExpression* gene) const;

    UserPreferences& preferences_;
    // Null entries are listeners removed during a notification.
    std::vector<BrainExpressionModelListener*> listeners_;
    int notifying_ = 0;
    std::vector<std::unique_ptr<GeneExpression>> genes_;
    std::array<float, 3> sectionPositions_{};
    std::array<std::array<float, 2>, 3> clipping_{};
    std::array<bool, kDisplayFlagCount> displayFlags_{};
    float zoom_ = kDefaultZoom;
    std::array<float, 4> rotation_{0.0f, 0.0f, 0.0f, 1.0f};
    std::array<float, 3> translation_{0.0f, 0.0f, 0.0f};
    float imageAlpha_ = 0.5f;
    std::array<float, 2> levelThreshold_{0.0f, -1.0f};
    std::array<float, 2> expressorThreshold_{5.0f, -1.0f};
    int toolMode_ = 0;
    int meshDisplayStyle_ = 0;
    int geneColourMode_ = 0;
    int compassLocation_ = 0;
    int imagePanelMode_ = 2;
    StructureSet expressionStructures_ = StructureSet::full();
    StructureSet shownStructures_;
    const Structure* highlightedStructure_ = nullptr;
    const GeneExpression* currentGene_ = nullptr;
    const GeneExpression* selectedGene_ = nullptr;
    const ExpressionCell* selectedCell_ = nullptr;
    bool tracksCurrentGene_ = false;
    std::optional<LevelColourTables> levelTables_;
};

} // namespace volumira
