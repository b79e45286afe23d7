#include "expression/BrainExpressionModel.h"

#include "atlas/Ontology.h"
#include "atlas/ReferenceAtlas.h"
#include "atlas/Structure.h"
#include "expression/GeneExpression.h"
#include "preferences/UserPreferences.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace volumira {

namespace {

// One counter for the whole process, so genes in different documents still get distinct colours.
int nextPaletteColour = 0;

} // namespace

const std::array<std::array<float, 3>, BrainExpressionModel::kPaletteSize> BrainExpressionModel::kGenePalette{
    {
        {0.9f, 0.9f, 0.0f},
        {0.9f, 0.47f, 0.0f},
        {0.0f, 0.4f, 0.7f},
        {0.0f, 0.7f, 0.3f},
        {0.7f, 0.2f, 0.35f},
    }};

BrainExpressionModel::BrainExpressionModel() : BrainExpressionModel(UserPreferences::instance()) {}

BrainExpressionModel::BrainExpressionModel(UserPreferences& preferences) : preferences_(preferences) {
    // The reset moves the minimum first, which needs a maximum already in place.
    for (std::size_t axis = 0; axis < 3; ++axis)
        clipping_[axis] = {0.0f, static_cast<float>(kGridSize[axis] - 1)};
    resetViewState();
    loadSettings();
}

BrainExpressionModel::~BrainExpressionModel() {
    ModelSettings settings;
    settings.compassLocation = compassLocation_;
    settings.toolMode = toolMode_;
    // Rounded, not truncated: a percent read and written back must not drift down by one.
    settings.imageAlphaPercent = static_cast<std::int32_t>(std::lround(imageAlpha_ * 100.0f));
    settings.meshDisplayStyle = meshDisplayStyle_;
    settings.geneColorMode = geneColourMode_;
    settings.thresholdControlsVisible = displayFlags_[kFlagThresholdControlsShown] ? 1 : 0;
    preferences_.saveModelSettings(settings);
}

void BrainExpressionModel::loadSettings() {
    const ModelSettings settings = preferences_.loadModelSettings();
    // A stored value the view cannot show falls back to the default rather than being clamped.
    const auto inRange = [](std::int32_t value, std::int32_t last, std::int32_t fallback) {
        return value >= 0 && value <= last ? value : fallback;
    };
    compassLocation_ = inRange(settings.compassLocation, 2, 0);
    toolMode_ = inRange(settings.toolMode, 2, 0);
    imageAlpha_ = static_cast<float>(inRange(settings.imageAlphaPercent, 100, 50)) / 100.0f;
    meshDisplayStyle_ = inRange(settings.meshDisplayStyle, 1, 0);
    geneColourMode_ = inRange(settings.geneColorMode, 3, 0);
    displayFlags_[kFlagThresholdControlsShown] = settings.thresholdControlsVisible != 0;
}

void BrainExpressionModel::checkSectionAxis(int axis) {
    if (axis < 0 || axis > 2) throw std::invalid_argument("Invalid MPR plane specified.");
}

void BrainExpressionModel::checkClippingAxis(int axis) {
    if (axis < 0 || axis > 2) throw std::invalid_argument("Invalid cutting plane specified.");
}

void BrainExpressionModel::checkGeneIndex(int index) const {
    if (index < 0 || index >= geneCount()) throw std::invalid_argument("RemoveGene index out of range.");
}

void BrainExpressionModel::setExpressionStructures(const StructureSet& set, bool notify) {
    expressionStructures_ = set;
    if (notify) this->notify(ModelEvent::ExpressionStructuresChanged);
    // A selected cell whose structure is no longer drawn must not stay selected.
    if (selectedCell_ && selectedCell_->structure && !selectedCell_->structure->selfSet.intersects(set))
        selectCell(nullptr, nullptr, true);
}

void BrainExpressionModel::showStructuresOfGenes(const int* geneIndices, int count) {
    if (count > 0 && !geneIndices) throw std::invalid_argument("No gene indices given.");
    for (int i = 0; i < count; ++i)
        checkGeneIndex(geneIndices[i]);
    StructureSet shown;
    for (int i = 0; i < count; ++i)
        for (const ExpressionCell& cell : genes_[static_cast<std::size_t>(geneIndices[i])]->cells())
            if (cell.expressors > 5 && cell.structure) shown.unite(cell.structure->selfSet);
    shownStructures_ = shown;
    notify(ModelEvent::ShownStructuresChanged);
}

void BrainExpressionModel::setShownStructures(const StructureSet& set, bool notify) {
    shownStructures_ = set;
    if (notify) this->notify(ModelEvent::ShownStructuresChanged);
    // A highlight stays while a section shows it even if its mesh is hidden.
    const bool sectionShown = displayFlags_[kFlagCoronalSection] || displayFlags_[kFlagHorizontalSection] ||
                              displayFlags_[kFlagSagittalSection];
    if (highlightedStructure_ && !highlightedStructure_->selfSet.intersects(set) && !sectionShown)
        setHighlightedStructure(nullptr, true);
}

void BrainExpressionModel::showAllLeafStructures() {
    showAllLeafStructures(ReferenceAtlas::instance().ontology());
}

void BrainExpressionModel::showSearchableStructures() {
    showSearchableStructures(ReferenceAtlas::instance().ontology());
}

void BrainExpressionModel::showAllLeafStructures(const Ontology& ontology) {
    StructureSet shown;
    std::vector<const Structure*> pending{&ontology.root()};
    while (!pending.empty()) {
        const Structure* structure = pending.back();
        pending.pop_back();
        if (structure->children.empty())
            shown.unite(structure->selfSet);
        else
            pending.insert(pending.end(), structure->children.begin(), structure->children.end());
    }
    shownStructures_ = shown;
    notify(ModelEvent::ShownStructuresChanged);
}

void BrainExpressionModel::showSearchableStructures(const Ontology& ontology) {
    shownStructures_ = ontology.searchableStructures();
    notify(ModelEvent::ShownStructuresChanged);
}

void BrainExpressionModel::addGene(std::unique_ptr<GeneExpression> gene) {
    if (!gene) throw std::invalid_argument("No gene to add.");
    const auto& colour = kGenePalette[static_cast<std::size_t>(nextPaletteColour)];
    nextPaletteColour = (nextPaletteColour + 1) % kPaletteSize;
    gene->setColour(colour[0], colour[1], colour[2]);
    const GeneExpression* added = gene.get();
    genes_.push_back(std::move(gene));
    notify(ModelEvent::GeneAdded, geneCount() - 1);
    // A listener may have taken the gene out again while being told.
    if (tracksCurrentGene_ && holdsGene(added)) setCurrentGene(added, true);
}

void BrainExpressionModel::addGeneFromFile(const std::string& path) {
    addGene(std::make_unique<GeneExpression>(path));
}

GeneExpression& BrainExpressionModel::geneAt(int index) const {
    checkGeneIndex(index);
    return *genes_[static_cast<std::size_t>(index)];
}

void BrainExpressionModel::removeGene(int index) {
    checkGeneIndex(index);
    // Listeners may change the list while being told; find the gene again by identity afterwards.
    const GeneExpression* gene = genes_[static_cast<std::size_t>(index)].get();
    notify(ModelEvent::GeneRemoving, index);
    if (selectedGene_ == gene) selectCell(nullptr, nullptr, true);
    if (currentGene_ == gene) setCurrentGene(nullptr, true);
    const auto it =
        std::find_if(genes_.begin(), genes_.end(), [gene](const auto& g) { return g.get() == gene; });
    if (it != genes_.end()) genes_.erase(it);
}

void BrainExpressionModel::setGeneColour(int index, float red, float green, float blue) {
    checkGeneIndex(index);
    genes_[static_cast<std::size_t>(index)]->setColour(red, green, blue);
    notify(ModelEvent::GeneColourChanged, index);
}

void BrainExpressionModel::setGeneVisible(int index, bool visible) {
    checkGeneIndex(index);
    const GeneExpression* gene = genes_[static_cast<std::size_t>(index)].get();
    genes_[static_cast<std::size_t>(index)]->setVisible(visible);
    notify(ModelEvent::GeneVisibilityChanged, index);
    if (selectedGene_ == gene) selectCell(nullptr, nullptr, true);
    keepSelectionShown();
}

void BrainExpressionModel::setSectionPosition(int axis, float position, bool notify) {
    checkSectionAxis(axis);
    if (std::isnan(position)) return;
    const float last = static_cast<float>(kGridSize[static_cast<std::size_t>(axis)] - 1);
    if (position < 0.0f) position = 0.0f;
    if (std::trunc(position) >= last) position = last;
    sectionPositions_[static_cast<std::size_t>(axis)] = position;
    if (notify) this->notify(ModelEvent::SectionMoved, axis);
}

float BrainExpressionModel::sectionPosition(int axis) const {
    checkSectionAxis(axis);
    return sectionPositions_[static_cast<std::size_t>(axis)];
}

bool BrainExpressionModel::displayFlag(int position) const {
    if (position < 0 || position >= kDisplayFlagCount)
        throw std::invalid_argument("Invalid display flag specified.");
    return displayFlags_[static_cast<std::size_t>(position)];
}

void BrainExpressionModel::setDisplayFlag(int position, bool value, bool notify) {
    if (displayFlag(position) == value) return;
    displayFlags_[static_cast<std::size_t>(position)] = value;
    if (notify) this->notify(ModelEvent::DisplayFlagChanged);
}

void BrainExpressionModel::setClippingPlane(int axis, float value, bool isMinimum, bool notify) {
    checkClippingAxis(axis);
    if (std::isnan(value)) return;
    auto& range = clipping_[static_cast<std::size_t>(axis)];
    const float last = static_cast<float>(kGridSize[static_cast<std::size_t>(axis)] - 1);
    value = std::clamp(value, 0.0f, last);
    // The box keeps a slab at least one voxel thick. Against a maximum below 2 that margin would push the
    // minimum off the grid (a reset from a box narrowed to the first voxels would leave it at -1); the
    // maximum already keeps its own one-voxel margin above the minimum, so the grid's edge wins.
    if (isMinimum)
        value = std::max(0.0f, std::min(value, range[1] - 2.0f));
    else
        value = std::max(value, range[0] + 1.0f);
    float& stored = range[isMinimum ? 0 : 1];
    if (stored == value) return;
    stored = value;
    if (notify) this->notify(ModelEvent::ClippingPlaneChanged, axis);
}

void BrainExpressionModel::endClippingDrag(int axis) {
    checkClippingAxis(axis);
    setAuxiliaryFlag(false);
    // Announced even when the face came back to where it started: the scene drew the drag with the fast
    // shapes and must draw the box again now that the flag is down.
    notify(ModelEvent::ClippingPlaneChanged, axis);
}

float BrainExpressionModel::clippingPlane(int axis, bool isMinimum) const {
    checkClippingAxis(axis);
    return clipping_[static_cast<std::size_t>(axis)][isMinimum ? 0 : 1];
}

void BrainExpressionModel::setClippingPlanesShown(bool value, bool notify) {
    if (displayFlags_[kFlagClippingPlanesShown] == value) return;
    displayFlags_[kFlagClippingPlanesShown] = value;
    if (notify) this->notify(ModelEvent::ClippingPlanesShownChanged, value ? 1 : 0);
}

void BrainExpressionModel::setRotation(const std::array<float, 4>& quaternion, bool notify) {
    rotation_ = quaternion;
    if (notify) this->notify(ModelEvent::RotationChanged);
}

void BrainExpressionModel::setTranslation(const std::array<float, 3>& vector, bool notify) {
    translation_ = vector;
    if (notify) this->notify(ModelEvent::TranslationChanged);
}

void BrainExpressionModel::setZoom(float value, bool notify) {
    if (std::isnan(value)) return;
    value = std::clamp(value, kMinZoom, kMaxZoom);
    if (value == zoom_) return;
    zoom_ = value;
    if (notify) this->notify(ModelEvent::ZoomChanged, static_cast<std::int32_t>(value));
}

void BrainExpressionModel::resetView() {
    zoom_ = kDefaultZoom;
    resetViewState();
    notify(ModelEvent::ViewReset);
}

void BrainExpressionModel::setMeshDisplayStyle(int value, bool notify) {
    if (value == meshDisplayStyle_) return;
    meshDisplayStyle_ = value;
    if (notify) this->notify(ModelEvent::MeshDisplayStyleChanged, value);
}

void BrainExpressionModel::setGeneColourMode(int value, bool notify) {
    if (value == geneColourMode_) return;
    geneColourMode_ = value;
    if (!notify) return;
    this->notify(ModelEvent::GeneColourModeChanged, value);
    keepSelectionShown();
}

void BrainExpressionModel::setCompassLocation(int value, bool notify) {
    if (value == compassLocation_) return;
    compassLocation_ = value;
    if (notify) this->notify(ModelEvent::CompassLocationChanged, value);
}

void BrainExpressionModel::selectCell(const GeneExpression* gene, const ExpressionCell* cell, bool notify) {
    if (gene == selectedGene_ && cell == selectedCell_) return;
    selectedGene_ = gene;
    selectedCell_ = cell;
    if (!notify) return;
    this->notify(ModelEvent::SelectionChanged);
    // The selection as it stands after the listeners, which may have changed it again.
    if (tracksCurrentGene_ && selectedGene_ && holdsGene(selectedGene_)) setCurrentGene(selectedGene_, true);
}

void BrainExpressionModel::keepSelectionShown() {
    if (!selectedCell_) return;
    const ColourMap* modeTable = levelTables_ ? levelTables_->forMode(geneColourMode_) : nullptr;
    if (!selectedGene_ || !selectedGene_->isVisible() || !isCellShown(*this, modeTable, *selectedCell_))
        selectCell(nullptr, nullptr, true);
}

bool BrainExpressionModel::holdsGene(const GeneExpression* gene) const {
    return std::any_of(genes_.begin(), genes_.end(), [gene](const auto& g) { return g.get() == gene; });
}

int BrainExpressionModel::selectedCellGeneIndex() const {
    if (!selectedGene_) return -1;
    for (std::size_t i = 0; i < genes_.size(); ++i)
        if (genes_[i].get() == selectedGene_) return static_cast<int>(i);
    return -1;
}

bool BrainExpressionModel::selectedCellImageUrl(std::string& out) const {
    out.clear();
    if (!selectedCell_ || !selectedGene_) return false;
    const SectionImage* image = selectedGene_->sectionImage(selectedCell_->section);
    // An image without a size cannot place the cell on its page.
    if (!image || image->width == 0 || image->height == 0) return false;
    const auto dx = static_cast<std::int64_t>(selectedCell_->sectionX) - image->width / 2;
    const auto dy = static_cast<std::int64_t>(selectedCell_->sectionY) - image->height / 2;
    const float x = static_cast<float>(-dx) / static_cast<float>(image->width);
    const float y = static_cast<float>(-dy) / static_cast<float>(image->height);
    const auto text = [](float value) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        return std::string(buffer, result.ptr);
    };
    out = preferences_.imagePageUrl() + std::to_string(image->imageId) + "&x=" + text(x) + "&y=" + text(y) +
          "&z=50";
    return true;
}

void BrainExpressionModel::setCurrentGene(const GeneExpression* gene, bool notify) {
    if (gene == currentGene_) return;
    currentGene_ = gene;
    if (notify) this->notify(ModelEvent::CurrentGeneChanged);
}

void BrainExpressionModel::setHighlightedStructure(const Structure* structure, bool notify) {
    if (structure == highlightedStructure_) return;
    highlightedStructure_ = structure;
    if (notify) this->notify(ModelEvent::HighlightedStructureChanged);
}

void BrainExpressionModel::setImageAlpha(float value, bool notify) {
    if (std::isnan(value)) return;
    value = std::clamp(value, 0.0f, 1.0f);
    if (value == imageAlpha_) return;
    imageAlpha_ = value;
    if (notify) this->notify(ModelEvent::ImageAlphaChanged);
}

bool BrainExpressionModel::storeThreshold(std::array<float, 2>& stored, float minimum, float maximum) {
    if (std::isnan(minimum) || std::isnan(maximum)) return false;
    if (minimum < 0.0f) minimum = 0.0f;
    if (maximum >= 0.0f && maximum < minimum) minimum = maximum;
    if (stored[0] == minimum && stored[1] == maximum) return false;
    stored = {minimum, maximum};
    return true;
}

void BrainExpressionModel::levelThreshold(float& minimum, float& maximum) const {
    minimum = levelThreshold_[0];
    maximum = levelThreshold_[1];
}

void BrainExpressionModel::announceThresholds(bool changed, bool notify) {
    if (!changed || !notify) return;
    this->notify(ModelEvent::ThresholdChanged);
    keepSelectionShown();
}

void BrainExpressionModel::setLevelThreshold(float minimum, float maximum, bool notify) {
    announceThresholds(storeThreshold(levelThreshold_, minimum, maximum), notify);
}

void BrainExpressionModel::expressorThreshold(float& minimum, float& maximum) const {
    minimum = expressorThreshold_[0];
    maximum = expressorThreshold_[1];
}

void BrainExpressionModel::setExpressorThreshold(float minimum, float maximum, bool notify) {
    announceThresholds(storeThreshold(expressorThreshold_, minimum, maximum), notify);
}

void BrainExpressionModel::setThresholds(float minLevel, float maxLevel, float minCount, float maxCount,
                                         bool notify) {
    // Both are stored before anyone hears, so no listener sees half a step.
    const bool levelChanged = storeThreshold(levelThreshold_, minLevel, maxLevel);
    const bool countChanged = storeThreshold(expressorThreshold_, minCount, maxCount);
    announceThresholds(levelChanged || countChanged, notify);
}

void BrainExpressionModel::setThresholdControlsShown(bool value, bool notify) {
    if (displayFlags_[kFlagThresholdControlsShown] == value) return;
    displayFlags_[kFlagThresholdControlsShown] = value;
    if (notify) this->notify(ModelEvent::ThresholdControlsShownChanged);
}

void BrainExpressionModel::setImagePanelMode(int value, bool notify) {
    if (value == imagePanelMode_) return;
    imagePanelMode_ = value;
    if (notify) this->notify(ModelEvent::ImagePanelModeChanged);
}

void BrainExpressionModel::addListener(BrainExpressionModelListener* listener) {
    if (!listener || std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) return;
    listeners_.push_back(listener);
}

void BrainExpressionModel::removeListener(BrainExpressionModelListener* listener) {
    if (!listener) return;
    // While listeners are being told, a removed one only leaves a gap, so that the walk stays valid;
    // the gaps close when the outermost notification ends.
    if (notifying_ > 0) {
        std::replace(listeners_.begin(), listeners_.end(), listener,
                     static_cast<BrainExpressionModelListener*>(nullptr));
        return;
    }
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void BrainExpressionModel::notify(ModelEvent event, std::int32_t argument) {
    // Listeners may add or remove listeners while being told. Those added now hear from the next
    // event on; those removed are skipped at once, since they may already be gone. No copy of the
    // list is made, so an event costs no allocation.
    struct Depth {
        BrainExpressionModel& model;
        explicit Depth(BrainExpressionModel& m) : model(m) { ++model.notifying_; }
        ~Depth() {
            if (--model.notifying_ == 0)
                model.listeners_.erase(std::remove(model.listeners_.begin(), model.listeners_.end(), nullptr),
                                       model.listeners_.end());
        }
    } depth(*this);
    const std::size_t count = listeners_.size();
    for (std::size_t i = 0; i < count; ++i)
        if (BrainExpressionModelListener* listener = listeners_[i])
            listener->modelChanged(event, *this, argument);
}

void BrainExpressionModel::resetViewState() {
    // Listeners hear of every clipping face, section and threshold the reset changes, so that drawings
    // built from them (the expressors inside the box, the section slices) are rebuilt.
    std::array<float, 3> sections{};
    for (int axis = 0; axis < 3; ++axis) {
        const auto a = static_cast<std::size_t>(axis);
        const float last = static_cast<float>(kGridSize[a] - 1);
        setClippingPlane(axis, 0.0f, true, true);
        setClippingPlane(axis, last, false, true);
        sections[a] = static_cast<float>(kGridSize[a]) / 2.0f;
    }
    rotation_ = {0.0f, 0.0f, 0.0f, 1.0f};
    translation_ = {0.0f, 0.0f, 0.0f};
    // The left-right section starts off the midline, where it would show nothing useful.
    sections[2] -= 5.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const auto a = static_cast<std::size_t>(axis);
        if (sectionPositions_[a] == sections[a]) continue;
        sectionPositions_[a] = sections[a];
        notify(ModelEvent::SectionMoved, axis);
    }
    setLevelThreshold(0.0f, -1.0f, true);
    setExpressorThreshold(5.0f, -1.0f, true);
}

} // namespace volumira
