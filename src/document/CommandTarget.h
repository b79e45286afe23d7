#pragma once

namespace volumira {

class BrainExpressionModel;
class Ontology;

// What the commands act on: the document's detail model and the operations the window provides.
// The command table calls these; the window implements them.
class CommandTarget {
  public:
    virtual ~CommandTarget() = default;
    virtual BrainExpressionModel& detailModel() = 0;
    virtual const Ontology& ontology() const = 0;
    virtual void openGene() = 0;
    virtual void saveGenes() = 0;
    virtual void closeGenes() = 0;
    virtual void exitProgram() = 0;
    virtual void copy() = 0;
    virtual void copyImage() = 0;
    virtual void selectAllGenes() = 0;
    // axis: 0 coronal, 1 horizontal, 2 sagittal.
    virtual void toggleSection(int axis) = 0;
    virtual void showEnclosingStructure() = 0;
    virtual void centerOnSelection() = 0;
    // The atlas plate at the selected cell or the section planes, in the scene's image panel.
    virtual void showFullResolutionImage() = 0;
    virtual void toggleImageControls() = 0;
    virtual void toggleExpandedView() = 0;
    // Changes the tool without a model event, then redraws.
    virtual void setToolMode(int mode) = 0;
    virtual void toggleToolbar() = 0;
    virtual void toggleStatusBar() = 0;
    virtual void showOptions() = 0;
    virtual void openTutorial() = 0;
    virtual void openReleaseNotes() = 0;
    virtual void openBrainAtlasSite() = 0;
    virtual void showAbout() = 0;
    virtual void search() = 0;
    virtual void newTab() = 0;
    virtual void closeTab() = 0;
    virtual void nextTab() = 0;
    virtual void previousTab() = 0;
    virtual void anatomicSearch() = 0;
    virtual void importGeneList() = 0;
    virtual void findSimilar() = 0;
    virtual void getInfo() = 0;
    virtual void newBookmark() = 0;
    virtual void newBookmarkGroup() = 0;
    virtual void markForSnapback() = 0;
    virtual void goBack() = 0;
};

} // namespace volumira
