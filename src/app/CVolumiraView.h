#pragma once

#include "app/CDragDropTreeCtrl.h"
#include "app/PanelMetrics.h"
#include "document/StructureChecks.h"
#include "expression/BrainExpressionModelListener.h"
#include "preferences/PreferenceRecords.h"
#include "render/TabControlRenderer.h"

#include <QWidget>
#include <functional>
#include <memory>

class QHeaderView;
class QStandardItemModel;
class QTabBar;
class QTreeWidget;

namespace volumira {

class BookmarksPanel;
class BrainSceneRenderer;
class CBasicViewControls;
class ResultTabs;
class SearchCommands;
class SimilarDomainChooser;
class CGLView;
class CViewControls;
class CVolumiraDoc;
class GLInteractiveRenderer;
class GeneListWidget;
class Prompt;
class ReferenceAtlas;
class StructureTree;
class UserPreferences;
struct Structure;

// The main view: the data view (the GL window with its tab strip) above the zoom bar and the optional
// image blending bar, and the side panel with the structure trees or the bookmarks, and the gene list.
// It keeps the panels in step with the detail model and switches the data view between the pages.
class CVolumiraView : public QWidget, public BrainExpressionModelListener, public TabControlListener {
  public:
    // Everything given must outlive the view. The panels are built at once from the view settings.
    CVolumiraView(CVolumiraDoc& document, ReferenceAtlas& atlas, UserPreferences& preferences, Prompt& prompt,
                  QWidget* parent = nullptr);
    // Saves the view settings, then frees the pages' GL objects in the view's context.
    ~CVolumiraView() override;

    CGLView& dataView() { return *dataView_; }
    BrainSceneRenderer& scene() { return *scene_; }
    TabControlRenderer& tabs() { return *tabs_; }
    StructureTree& hierarchicalTree() { return *hierarchical_; }
    StructureTree& alphabeticalTree() { return *alphabetical_; }
    CDragDropTreeCtrl& bookmarksTree();
    BookmarksPanel& bookmarks() { return *bookmarks_; }
    GeneListWidget& geneList() { return *genes_; }
    QTabBar& sideTabs() { return *sideTabs_; }
    QHeaderView& header() { return *header_; }
    CBasicViewControls& zoomBar() { return *zoomBar_; }
    CViewControls& blendingBar() { return *blendingBar_; }
    const PanelMetrics& metrics() const { return metrics_; }
    ResultTabs& resultTabs() { return *resultTabs_; }
    // The document's searches, which fill the result tabs.
    SearchCommands& search() { return *search_; }

    // The tree of the side tab shown; null for the bookmarks tab.
    StructureTree* currentStructureTree() const;
    SideTab sideTab() const { return sideTab_; }
    bool detailViewShown() const { return detailViewShown_; }
    bool expanded() const { return expanded_; }
    bool imageControlsVisible() const { return imageControls_; }
    bool rememberedImageControls() const { return rememberedImageControls_; }

    void toggleImageControls();
    void toggleExpandedView();
    // Installs a result page, or the scene for null or the scene itself.
    void switchPage(GLInteractiveRenderer* page);
    // Selects and shows the gene's row only; the model keeps its current gene itself.
    void selectGeneRow(int row);
    void selectStructure(const Structure* structure);
    void invalidateCheckColumns();

    // Something the commands' rules look at may have changed.
    std::function<void()> onStateChanged;

    void modelChanged(ModelEvent event, BrainExpressionModel& model, std::int32_t argument) override;
    void tabDeselected(int index, void* data) override;
    void tabSelected(int index, void* data) override;
    void tabClosed(int index, void* data) override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildPanels();
    void layoutPanels();
    void sideTabChanged(int index);
    void shownBoxClicked(StructureTree& tree, const Structure& structure, bool control);
    void expressionBoxClicked(StructureTree& tree, const Structure& structure, bool control);
    void stateChanged();

    CVolumiraDoc& document_;
    BrainExpressionModel& model_;
    ReferenceAtlas& atlas_;
    UserPreferences& preferences_;
    Prompt& prompt_;
    PanelMetrics metrics_;
    CGLView* dataView_ = nullptr;
    std::unique_ptr<TabControlRenderer> tabs_;
    std::unique_ptr<BrainSceneRenderer> scene_;
    std::unique_ptr<SimilarDomainChooser> domainChooser_;
    std::unique_ptr<ResultTabs> resultTabs_;
    std::unique_ptr<SearchCommands> search_;
    GLInteractiveRenderer* currentPage_ = nullptr;
    QHeaderView* header_ = nullptr;
    QStandardItemModel* headerModel_ = nullptr;
    StructureTree* hierarchical_ = nullptr;
    StructureTree* alphabetical_ = nullptr;
    std::unique_ptr<BookmarksPanel> bookmarks_;
    QTabBar* sideTabs_ = nullptr;
    GeneListWidget* genes_ = nullptr;
    CBasicViewControls* zoomBar_ = nullptr;
    CViewControls* blendingBar_ = nullptr;
    SideTab sideTab_ = kHierarchicalTab;
    bool detailViewShown_ = true;
    bool expanded_ = false;
    bool imageControls_ = false;
    bool rememberedImageControls_ = false;
};

} // namespace volumira
