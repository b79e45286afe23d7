#include "document/CommandTable.h"

#include "atlas/Structure.h"
#include "document/CommandTarget.h"
#include "document/SelectionCommands.h"
#include "expression/BrainExpressionModel.h"

#include <array>
#include <stdexcept>

namespace volumira {

namespace {

using C = CommandContext;
using T = CommandTarget;

// ---- enable rules ----
bool always(const C&) { return true; }
bool never(const C&) { return false; }
bool detail(const C& c) { return c.detailViewShown; }
bool sectionsAvailable(const C& c) { return c.detailViewShown && !c.atlasLoading; }
bool geneSelection(const C& c) { return c.selectedGeneCount > 0; }
bool genesListed(const C& c) { return c.geneRowCount > 0; }
bool copyAvailable(const C& c) {
    return (c.focus == FocusArea::StructureTree && c.treeHasSelection) ||
           (c.focus == FocusArea::GeneList && c.selectedGeneCount > 0);
}
bool roomForATab(const C& c) { return c.tabCount < 5; }
bool resultTabSelected(const C& c) { return c.selectedTab > 0; }
bool similarAllowed(const C& c) { return c.firstSelectedAllowsSimilar; }
bool enclosingAvailable(const C& c) { return c.detailViewShown && canShowEnclosingStructure(*c.model); }
bool centreAvailable(const C& c) { return c.detailViewShown && selectionCentre(*c.model).has_value(); }
bool fullResolutionAvailable(const C& c) {
    const BrainExpressionModel& m = *c.model;
    return c.detailViewShown && (m.displayFlag(BrainExpressionModel::kFlagCoronalSection) ||
                                 m.displayFlag(BrainExpressionModel::kFlagHorizontalSection) ||
                                 m.displayFlag(BrainExpressionModel::kFlagSagittalSection) || m.selectedCell());
}
bool bookmarksShown(const C& c) { return c.bookmarksTabShown; }
bool snapbackMarked(const C& c) { return c.snapbackExists; }

// ---- marks ----
bool transparent(const C& c) { return c.model->meshDisplayStyle() == 1; }
bool coronalShown(const C& c) { return c.model->displayFlag(BrainExpressionModel::kFlagCoronalSection); }
bool horizontalShown(const C& c) { return c.model->displayFlag(BrainExpressionModel::kFlagHorizontalSection); }
bool sagittalShown(const C& c) { return c.model->displayFlag(BrainExpressionModel::kFlagSagittalSection); }
bool thresholdShown(const C& c) { return c.model->thresholdControlsShown(); }
bool clippingShown(const C& c) { return c.model->clippingPlanesShown(); }
template <int mode> bool colourMode(const C& c) { return c.model->geneColourMode() == mode; }
template <int mode> bool toolMode(const C& c) { return c.model->toolMode() == mode; }
template <int location> bool compassAt(const C& c) { return c.model->compassLocation() == location; }
bool imageControls(const C& c) { return c.detailViewShown ? c.imageControlsVisible : c.rememberedImageControls; }
bool sidePanelShown(const C& c) { return !c.expanded; }
bool toolbarShown(const C& c) { return c.toolbarShown; }
bool statusBarShown(const C& c) { return c.statusBarShown; }

// ---- actions on the detail model ----
StructureSet complement(const StructureSet& set) {
    StructureSet result;
    for (int bit = 0; bit < StructureSet::kBitCount; ++bit)
        result.set(bit, !set.contains(bit));
    return result;
}

void showSearchable(T& t) { t.detailModel().showSearchableStructures(t.ontology()); }
void hideAllStructures(T& t) { t.detailModel().setShownStructures(StructureSet(), true); }
void toggleTransparent(T& t) {
    BrainExpressionModel& m = t.detailModel();
    m.setMeshDisplayStyle(m.meshDisplayStyle() == 1 ? 0 : 1, true);
}
void showAllExpression(T& t) { t.detailModel().setExpressionStructures(StructureSet::full(), true); }
void hideAllExpression(T& t) { t.detailModel().setExpressionStructures(StructureSet(), true); }
void toggleExpression(T& t) {
    BrainExpressionModel& m = t.detailModel();
    m.setExpressionStructures(complement(m.expressionStructures()), true);
}
void toggleThreshold(T& t) {
    BrainExpressionModel& m = t.detailModel();
    m.setThresholdControlsShown(!m.thresholdControlsShown(), true);
}
void toggleClipping(T& t) {
    BrainExpressionModel& m = t.detailModel();
    m.setClippingPlanesShown(!m.clippingPlanesShown(), true);
}
template <int mode> void setColourMode(T& t) { t.detailModel().setGeneColourMode(mode, true); }
template <int mode> void setTool(T& t) { t.setToolMode(mode); }
template <int location> void setCompass(T& t) { t.detailModel().setCompassLocation(location, true); }
template <int axis> void section(T& t) { t.toggleSection(axis); }
void reset(T& t) { t.detailModel().resetView(); }

// ---- actions of the window ----
void openGene(T& t) { t.openGene(); }
void saveGenes(T& t) { t.saveGenes(); }
void closeGenes(T& t) { t.closeGenes(); }
void exitProgram(T& t) { t.exitProgram(); }
void copy(T& t) { t.copy(); }
void copyImage(T& t) { t.copyImage(); }
void selectAll(T& t) { t.selectAllGenes(); }
void enclosing(T& t) { t.showEnclosingStructure(); }
void centre(T& t) { t.centerOnSelection(); }
void fullResolution(T& t) {
    // The plates are shown from here; the cell's own section image is not a plate.
    if (t.detailModel().imagePanelMode() == 2) t.detailModel().setImagePanelMode(0, false);
    t.showFullResolutionImage();
}
void imageControlsCommand(T& t) { t.toggleImageControls(); }
void expandedView(T& t) { t.toggleExpandedView(); }
void toggleToolbar(T& t) { t.toggleToolbar(); }
void toggleStatusBar(T& t) { t.toggleStatusBar(); }
void options(T& t) { t.showOptions(); }
void tutorial(T& t) { t.openTutorial(); }
void releaseNotes(T& t) { t.openReleaseNotes(); }
void brainAtlasSite(T& t) { t.openBrainAtlasSite(); }
void about(T& t) { t.showAbout(); }
void search(T& t) { t.search(); }
void newTab(T& t) { t.newTab(); }
void closeTab(T& t) { t.closeTab(); }
void nextTab(T& t) { t.nextTab(); }
void previousTab(T& t) { t.previousTab(); }
void anatomicSearch(T& t) { t.anatomicSearch(); }
void importGeneList(T& t) { t.importGeneList(); }
void findSimilar(T& t) { t.findSimilar(); }
void getInfo(T& t) { t.getInfo(); }
void newBookmark(T& t) { t.newBookmark(); }
void newBookmarkGroup(T& t) { t.newBookmarkGroup(); }
void markForSnapback(T& t) { t.markForSnapback(); }
void goBack(T& t) { t.goBack(); }

using M = CommandMark;
using I = CommandId;

// Commands whose work arrives with the section-image feature are listed with their texts and have no
// handler yet, so they stay disabled.
const std::array kCommands = {
    // File
    CommandRow{I::NewTab, "&New Tab\tCtrl+T", "Create search tab\nCreate search tab", nullptr, M::None, roomForATab, nullptr, newTab},
    CommandRow{I::OpenGene, "&Open Gene...\tCtrl+O", "Open a gene file\nOpen Gene", nullptr, M::None, always, nullptr, openGene},
    CommandRow{I::SaveGene, "&Save Gene...\tCtrl+S", "Save gene to a file\nSave gene to a file", nullptr, M::None, geneSelection, nullptr, saveGenes},
    CommandRow{I::CloseGene, "&Close Gene\tCtrl+Del", "Close gene file\nClose gene", nullptr, M::None, geneSelection, nullptr, closeGenes},
    CommandRow{I::CloseTab, "Close &Tab\tCtrl+W", "Close the search tab\nClose the search tab", nullptr, M::None, resultTabSelected, nullptr, closeTab},
    CommandRow{I::AnatomicSearch, "&Anatomic Search...\tCtrl+F", "Search for genes\nSearch for genes by anatomic region", nullptr, M::None, always, nullptr, anatomicSearch},
    CommandRow{I::ImportGeneList, "&Import Gene List...", "Import list of genes\nImport list of genes", nullptr, M::None, always, nullptr, importGeneList},
    CommandRow{I::Exit, "E&xit", "Quit the application; prompts to save documents\nExit", nullptr, M::None, always, nullptr, exitProgram},
    // Edit
    CommandRow{I::Undo, "&Undo\tCtrl+Z", "Undo the last action\nUndo", "Alt+Backspace", M::None, never, nullptr, nullptr},
    CommandRow{I::Cut, "Cu&t\tCtrl+X", "Cut the selection and put it on the Clipboard\nCut", "Shift+Del", M::None, never, nullptr, nullptr},
    CommandRow{I::Copy, "&Copy\tCtrl+C", "Copy the selection and put it on the Clipboard\nCopy", "Ctrl+Ins", M::None, copyAvailable, nullptr, copy},
    CommandRow{I::CopyImage, "Copy &Image\tCtrl+Shift+C", "Copy image to the clipboard\nCopy image", nullptr, M::None, always, nullptr, copyImage},
    CommandRow{I::Paste, "&Paste\tCtrl+V", "Insert Clipboard contents\nPaste", "Shift+Ins", M::None, never, nullptr, nullptr},
    CommandRow{I::SelectAll, "&Select All\tCtrl+A", "Select the entire document\nSelect All", nullptr, M::None, genesListed, nullptr, selectAll},
    // Atlas
    CommandRow{I::ShowSearchableStructures, "&Show Searchable Structures", "Show searchable brain structures\nShow searchable structures", nullptr, M::None, detail, nullptr, showSearchable},
    CommandRow{I::HideAllStructures, "&Hide All Structures", "Hide all brain structures\nHide all structures", nullptr, M::None, detail, nullptr, hideAllStructures},
    CommandRow{I::Transparent, "Tr&ansparent", "Draw brain structures as transparent\nTransparent brain structures", nullptr, M::Check, detail, transparent, toggleTransparent},
    CommandRow{I::SagittalSections, "S&agittal Sections\tF1", "Sagittal atlas sections\nSagittal atlas sections", nullptr, M::Check, sectionsAvailable, sagittalShown, section<2>},
    CommandRow{I::CoronalSections, "&Coronal Sections\tF2", "Coronal atlas sections\nCoronal atlas sections", nullptr, M::Check, sectionsAvailable, coronalShown, section<0>},
    CommandRow{I::HorizontalSections, "H&orizontal Sections\tF3", "Horizontal atlas sections\nHorizontal atlas sections", nullptr, M::Check, sectionsAvailable, horizontalShown, section<1>},
    CommandRow{I::ShowFullResolutionImage, "Show &Full Resolution Image\tF4", "Show full resolution atlas image\nShow full resolution atlas image", nullptr, M::None, fullResolutionAvailable, nullptr, fullResolution},
    CommandRow{I::ShowEnclosingStructure, "Show &Enclosing Structure\tCtrl+E", "Show the enclosing structure\nShow enclosing structure", nullptr, M::None, enclosingAvailable, nullptr, enclosing},
    // Gene
    CommandRow{I::ShowAllExpression, "&Show All Expression", "Show all gene expression\nShow all expression", nullptr, M::None, always, nullptr, showAllExpression},
    CommandRow{I::HideAllExpression, "&Hide All Expression", "Hide all gene expression\nHide all expression", nullptr, M::None, always, nullptr, hideAllExpression},
    CommandRow{I::ToggleExpression, "&Toggle Expression", "Toggle gene expression visibility by structure\nToggle expression visibility", nullptr, M::None, always, nullptr, toggleExpression},
    CommandRow{I::ThresholdControls, "T&hreshold Controls", "Show expression threshold controls\nExpression threshold controls", nullptr, M::Check, detail, thresholdShown, toggleThreshold},
    CommandRow{I::ColoursUserDefined, "&User Defined", "Draw expression with user-defined colors\nUser defined colors", nullptr, M::Radio, detail, colourMode<0>, setColourMode<0>},
    CommandRow{I::ColoursAtlas, "&Atlas", "Draw expression using atlas colors\nAtlas colors", nullptr, M::Radio, detail, colourMode<1>, setColourMode<1>},
    CommandRow{I::ColoursExpressionLevel, "&Expression Level", "Draw expression using an expression level heat map\nExpression level heat map", nullptr, M::Radio, detail, colourMode<2>, setColourMode<2>},
    CommandRow{I::ColoursJet, "&Jet", "Draw expression using the jet color map\nJet color map", nullptr, M::Radio, detail, colourMode<3>, setColourMode<3>},
    CommandRow{I::FindSimilar, "&Find Similar\tCtrl+Shift+F", "Find similar genes\nFind similar genes", nullptr, M::None, similarAllowed, nullptr, findSimilar},
    CommandRow{I::GetInfo, "&Get Info", "Show gene information in web browser\nGene information", nullptr, M::None, geneSelection, nullptr, getInfo},
    // View
    CommandRow{I::Reset, "&Reset\tCtrl+R", "Reset the view\nReset view", nullptr, M::None, detail, nullptr, reset},
    CommandRow{I::CenterOnSelection, "&Center on Selection\tCtrl+Space", "Center the view on the selection\nCenter view on selection", nullptr, M::None, centreAvailable, nullptr, centre},
    CommandRow{I::ImageControls, "&Image Controls", "Show or hide image view controls\nImage view controls", nullptr, M::Check, detail, imageControls, imageControlsCommand},
    CommandRow{I::ExpandedView, "&Expanded View", "Toggle ontology and gene list\nToggle ontology and gene list", nullptr, M::Check, always, sidePanelShown, expandedView},
    CommandRow{I::ClippingPlanes, "Clipping &Planes\tCtrl+L", "Adjust clipping planes\nAdjust clipping planes", nullptr, M::Check, detail, clippingShown, toggleClipping},
    CommandRow{I::ToolRotate, "&Rotate\tCtrl+1", "View rotation tool\nView rotation tool", nullptr, M::Radio, detail, toolMode<0>, setTool<0>},
    CommandRow{I::ToolPan, "&Pan\tCtrl+2", "View panning tool\nView panning tool", nullptr, M::Radio, detail, toolMode<1>, setTool<1>},
    CommandRow{I::ToolSelect, "&Select\tCtrl+3", "Selection tool\nSelection tool", nullptr, M::Radio, detail, toolMode<2>, setTool<2>},
    CommandRow{I::CompassCorner, "Show in &Corner", "Show compass in corner\nCompass in corner", nullptr, M::Radio, detail, compassAt<0>, setCompass<0>},
    CommandRow{I::CompassBregma, "Show at &Bregma", "Show compass at bregma\nCompass at bregma", nullptr, M::Radio, detail, compassAt<1>, setCompass<1>},
    CommandRow{I::CompassHide, "&Hide", "Hide compass\nHide compass", nullptr, M::Radio, detail, compassAt<2>, setCompass<2>},
    CommandRow{I::Toolbar, "&Toolbar", "Show or hide the toolbar\nToggle ToolBar", nullptr, M::Check, always, toolbarShown, toggleToolbar},
    CommandRow{I::StatusBar, "&Status Bar", "Show or hide the status bar\nToggle StatusBar", nullptr, M::Check, always, statusBarShown, toggleStatusBar},
    CommandRow{I::Options, "O&ptions...", "Adjust user preferences\nOptions", nullptr, M::None, always, nullptr, options},
    // Bookmarks
    CommandRow{I::NewBookmark, "&New Bookmark\tCtrl+D", "Create a bookmark\nNew bookmark", nullptr, M::None, bookmarksShown, nullptr, newBookmark},
    CommandRow{I::NewGroup, "New &Group", "Create a bookmark group\nNew bookmark group", nullptr, M::None, bookmarksShown, nullptr, newBookmarkGroup},
    CommandRow{I::MarkForSnapback, "&Mark for Snapback\tCtrl+M", "Mark the view to go back to\nMark for snapback", nullptr, M::None, always, nullptr, markForSnapback},
    CommandRow{I::GoBack, "&Go Back\tCtrl+G", "Go back to the marked view\nGo back", nullptr, M::None, snapbackMarked, nullptr, goBack},
    // Help
    CommandRow{I::Tutorial, "&Tutorial", "Open the tutorial\nTutorial", nullptr, M::None, always, nullptr, tutorial},
    CommandRow{I::ReleaseNotes, "&Release Notes", "Open the release notes\nRelease notes", nullptr, M::None, always, nullptr, releaseNotes},
    CommandRow{I::BrainAtlasSite, "Tessaly &Brain Atlas", "Open the Tessaly Brain Atlas web site\nTessaly Brain Atlas", nullptr, M::None, always, nullptr, brainAtlasSite},
    CommandRow{I::About, "&About Volumira...", "Display program information, version number and copyright\nAbout", nullptr, M::None, always, nullptr, about},
    // Without a menu entry
    CommandRow{I::Search, "Search", "Search for genes\nSearch", nullptr, M::None, always, nullptr, search},
    CommandRow{I::NextTab, "Next Tab\tCtrl+Tab", "", nullptr, M::None, always, nullptr, nextTab},
    CommandRow{I::PreviousTab, "Previous Tab\tCtrl+Shift+Tab", "", nullptr, M::None, always, nullptr, previousTab},
};

using E = MenuEntry;
using K = MenuEntryKind;
constexpr E cmd(CommandId id) { return {K::Command, id, nullptr}; }
constexpr E kSeparator{K::Separator, CommandId{0}, nullptr};
constexpr E submenu(const char* title) { return {K::SubmenuStart, CommandId{0}, title}; }
constexpr E kSubmenuEnd{K::SubmenuEnd, CommandId{0}, nullptr};

const std::array kFileMenu = {cmd(I::NewTab), cmd(I::OpenGene), cmd(I::SaveGene), cmd(I::CloseGene), cmd(I::CloseTab),
                              kSeparator, cmd(I::AnatomicSearch), cmd(I::ImportGeneList), kSeparator,
                              E{K::RecentFiles, I::RecentFile, "Recent File"}, kSeparator, cmd(I::Exit)};
const std::array kEditMenu = {cmd(I::Undo), kSeparator, cmd(I::Cut), cmd(I::Copy), cmd(I::CopyImage), cmd(I::Paste),
                              kSeparator, cmd(I::SelectAll)};
const std::array kAtlasMenu = {cmd(I::ShowSearchableStructures), cmd(I::HideAllStructures), cmd(I::Transparent),
                               kSeparator, cmd(I::SagittalSections), cmd(I::CoronalSections),
                               cmd(I::HorizontalSections), kSeparator, cmd(I::ShowFullResolutionImage),
                               cmd(I::ShowEnclosingStructure)};
const std::array kGeneMenu = {cmd(I::ShowAllExpression), cmd(I::HideAllExpression), cmd(I::ToggleExpression),
                              kSeparator, cmd(I::ThresholdControls), submenu("&Colors"),
                              cmd(I::ColoursUserDefined), cmd(I::ColoursAtlas), cmd(I::ColoursExpressionLevel),
                              cmd(I::ColoursJet), kSubmenuEnd, kSeparator, cmd(I::FindSimilar), cmd(I::GetInfo)};
const std::array kViewMenu = {cmd(I::Reset), cmd(I::CenterOnSelection), kSeparator, cmd(I::ImageControls),
                              cmd(I::ExpandedView), cmd(I::ClippingPlanes), kSeparator, submenu("&Tool"),
                              cmd(I::ToolRotate), cmd(I::ToolPan), cmd(I::ToolSelect), kSubmenuEnd,
                              submenu("&Compass"), cmd(I::CompassCorner), cmd(I::CompassBregma),
                              cmd(I::CompassHide), kSubmenuEnd, kSeparator, cmd(I::Toolbar), cmd(I::StatusBar),
                              kSeparator, cmd(I::Options)};
const std::array kBookmarksMenu = {cmd(I::NewBookmark), cmd(I::NewGroup), kSeparator, cmd(I::MarkForSnapback),
                                   cmd(I::GoBack)};
const std::array kHelpMenu = {cmd(I::Tutorial), cmd(I::ReleaseNotes), cmd(I::BrainAtlasSite), kSeparator,
                              cmd(I::About)};

const std::array kMenus = {
    MenuRow{"&File", "FileMenu", kFileMenu},       MenuRow{"&Edit", "EditMenu", kEditMenu},
    MenuRow{"&Atlas", "AtlasMenu", kAtlasMenu},    MenuRow{"&Gene", "GeneMenu", kGeneMenu},
    MenuRow{"&View", "ViewMenu", kViewMenu},       MenuRow{"&Bookmarks", "BookmarksMenu", kBookmarksMenu},
    MenuRow{"&Help", "HelpMenu", kHelpMenu},
};

const std::array kToolBar = {I::OpenGene,         I::CloseGene,       I::AnatomicSearch,     CommandId{0},
                             I::ToolRotate,       I::ToolPan,         I::ToolSelect,         CommandId{0},
                             I::SagittalSections, I::CoronalSections, I::HorizontalSections, CommandId{0},
                             I::CenterOnSelection, CommandId{0},      I::ClippingPlanes,     I::ExpandedView};

std::string part(const char* text, char separator, bool before) {
    const std::string s = text ? text : "";
    const std::size_t at = s.find(separator);
    if (at == std::string::npos) return before ? s : "";
    return before ? s.substr(0, at) : s.substr(at + 1);
}

} // namespace

std::span<const CommandRow> commandTable() { return kCommands; }

const CommandRow& commandRow(CommandId id) {
    for (const CommandRow& row : kCommands)
        if (row.id == id) return row;
    throw std::invalid_argument("Unknown command " + std::to_string(static_cast<int>(id)));
}

CommandState commandState(CommandId id, const CommandContext& context) {
    const CommandRow& row = commandRow(id);
    CommandState state;
    state.enabled = row.run && row.enabled(context);
    state.checked = row.checked && row.checked(context);
    return state;
}

std::string menuLabel(const CommandRow& row) { return part(row.menuText, '\t', true); }
std::string menuShortcut(const CommandRow& row) { return part(row.menuText, '\t', false); }
std::string statusPrompt(const CommandRow& row) { return part(row.prompt, '\n', true); }
std::string toolTip(const CommandRow& row) { return part(row.prompt, '\n', false); }

std::span<const MenuRow> menuBar() { return kMenus; }
std::span<const CommandId> toolBar() { return kToolBar; }

} // namespace volumira
