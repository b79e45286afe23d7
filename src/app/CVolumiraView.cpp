#include "app/CVolumiraView.h"

#include "app/BookmarksPanel.h"
#include "app/CDragDropTreeCtrl.h"
#include "app/CGLView.h"
#include "app/CorrelationDomainDialog.h"
#include "app/GeneListWidget.h"
#include "app/StructureTree.h"
#include "app/ViewControls.h"
#include "app/ViewLayout.h"
#include "atlas/ReferenceAtlas.h"
#include "document/CVolumiraDoc.h"
#include "document/ResultTabs.h"
#include "document/SearchCommands.h"
#include "expression/BrainExpressionModel.h"
#include "platform/DataLocations.h"
#include "preferences/UserPreferences.h"
#include "render_qt/QtGLTextBox.h"
#include "app/Prompt.h"
#include "scene/BrainSceneRenderer.h"
#include "search/SearchConfig.h"
#include "storage/Caches.h"
#include "thumbnails/BrainThumbnailRenderer.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTreeWidget>
#include <QUrl>

namespace volumira {

CVolumiraView::CVolumiraView(CVolumiraDoc& document, ReferenceAtlas& atlas, UserPreferences& preferences,
                             Prompt& prompt, QWidget* parent)
    : QWidget(parent), document_(document), model_(document.detailModel()), atlas_(atlas),
      preferences_(preferences), prompt_(prompt) {
    setObjectName("VolumiraView");
    metrics_ = PanelMetrics::of(*this);
    buildPanels();
}

CVolumiraView::~CVolumiraView() {
    // The bookmarks are saved, when they changed, before the pages go.
    bookmarks_.reset();
    preferences_.saveViewSettings(
        {sideTab_, expanded_, detailViewShown_ ? imageControls_ : rememberedImageControls_});
    model_.removeListener(this);
    // The strip's textures and the scene's lists and buffers belong to the data view's context.
    const GLDisplay::ContextGrab grab(*dataView_);
    dataView_->installPage(nullptr);
    currentPage_ = nullptr;
    // The strip closes its result tabs through the tabs' bookkeeping, which deletes their pages and lists.
    tabs_.reset();
    search_.reset();
    resultTabs_.reset();
    scene_.reset();
}

void CVolumiraView::buildPanels() {
    const ViewSettings settings = preferences_.loadViewSettings();
    sideTab_ = settings.sideTab >= kAlphabeticalTab && settings.sideTab <= kBookmarksTab
                   ? static_cast<SideTab>(settings.sideTab)
                   : kHierarchicalTab;
    expanded_ = settings.expandedDisplay;
    imageControls_ = settings.imageControlsVisible;

    const Ontology& ontology = atlas_.ontology();
    hierarchical_ = new StructureTree(StructureTreeKind::Hierarchical, model_, metrics_, this);
    hierarchical_->fill(ontology);
    alphabetical_ = new StructureTree(StructureTreeKind::Alphabetical, model_, metrics_, this);
    alphabetical_->fill(ontology);
    for (StructureTree* tree : {hierarchical_, alphabetical_}) {
        tree->onShownClicked = [this, tree](const Structure& s, bool control) { shownBoxClicked(*tree, s, control); };
        tree->onExpressionClicked = [this, tree](const Structure& s, bool control) {
            expressionBoxClicked(*tree, s, control);
        };
        tree->onStructureSelected = [this](const Structure* s) {
            if (s) model_.setHighlightedStructure(s, true);
            stateChanged();
        };
    }

    sideTabs_ = new QTabBar(this);
    sideTabs_->setObjectName("SideTabs");
    sideTabs_->setShape(QTabBar::RoundedSouth);
    sideTabs_->setExpanding(false);
    for (const char* title : {"Alphabetical", "Hierarchical", "Bookmarks"}) sideTabs_->addTab(title);
    sideTabs_->setCurrentIndex(sideTab_);
    connect(sideTabs_, &QTabBar::currentChanged, this, [this](int index) { sideTabChanged(index); });

    headerModel_ = new QStandardItemModel(0, 4, this);
    headerModel_->setHorizontalHeaderLabels({"Structure", "", "A", "G"});
    header_ = new QHeaderView(Qt::Horizontal, this);
    header_->setObjectName("StructureHeader");
    header_->setModel(headerModel_);
    header_->setSectionsClickable(false);
    header_->setSectionResizeMode(QHeaderView::Fixed);
    header_->setStretchLastSection(false);
    header_->resizeSection(0, metrics_.structureColumn);
    header_->setDefaultAlignment(Qt::AlignCenter);
    headerModel_->setHeaderData(0, Qt::Horizontal, int(Qt::AlignLeft | Qt::AlignVCenter), Qt::TextAlignmentRole);
    for (int column = 1; column < 4; ++column) header_->resizeSection(column, metrics_.checkWidth + 12);

    genes_ = new GeneListWidget(model_, metrics_, this);
    blendingBar_ = new CViewControls(model_, this);
    zoomBar_ = new CBasicViewControls(model_, this);
    connect(genes_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { stateChanged(); });

    dataView_ = new CGLView(preferences_, prompt_, this);
    dataView_->setTextBoxFactory(createQtTextBox);
    dataView_->setShowDiagnostic(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
    tabs_ = std::make_unique<TabControlRenderer>(*dataView_, this);
    scene_ = std::make_unique<BrainSceneRenderer>(*dataView_, model_, *tabs_, atlas_, preferences_);
    scene_->enableSectionImages(
        {sectionImageTileCache(0), sectionImageTileCache(1),
         [](const std::string& url) { QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); },
         [this](const std::string& message) { prompt_.error(message); }});
    domainChooser_ = std::make_unique<CorrelationDomainChooser>(document_.searchConfigSource(), this);
    resultTabs_ = std::make_unique<ResultTabs>(*tabs_, [this](PagedGeneList& list) {
        // The configuration is asked for at each use: a search-domain update may replace it meanwhile.
        return std::make_unique<BrainThumbnailRenderer>(
            *dataView_, list, model_, atlas_, *tabs_, *search_,
            document_.searchConfigSource(), preferences_,
            resultListThumbnailCache(), [this](const std::string& message) { prompt_.error(message); });
    });
    search_ = std::make_unique<SearchCommands>(*resultTabs_, preferences_, atlas_.ontology(), *domainChooser_,
                                               [this] { dataView_->setFocus(Qt::OtherFocusReason); });
    bookmarks_ = std::make_unique<BookmarksPanel>(this, model_, *scene_, ontology, prompt_, userDirectory(),
                                                  [this] { return detailViewShown_; });
    bookmarks_->onStateChanged = [this] { stateChanged(); };
    model_.addListener(this);
    tabs_->addTab("Detail View", false, nullptr);
    tabs_->selectTab(0);
    switchPage(nullptr);
    if (StructureTree* tree = currentStructureTree()) tree->selectStructure(model_.highlightedStructure());
    layoutPanels();
}

CDragDropTreeCtrl& CVolumiraView::bookmarksTree() { return bookmarks_->tree(); }

StructureTree* CVolumiraView::currentStructureTree() const {
    switch (sideTab_) {
    case kAlphabeticalTab: return alphabetical_;
    case kHierarchicalTab: return hierarchical_;
    default: return nullptr;
    }
}

void CVolumiraView::layoutPanels() {
    ViewLayoutInput in;
    in.width = width();
    in.height = height();
    in.blendingBarHeight = imageControls_ ? CViewControls::kHeight : 0;
    const int tabsHeight = sideTabs_->sizeHint().height();
    in.sideTabsHeight = tabsHeight > 0 ? tabsHeight : fontMetrics().height() + 6;
    in.headerHeight = header_->sizeHint().height();
    in.expanded = expanded_;
    in.sideTab = sideTab_;
    const ViewLayout l = computeViewLayout(in);
    const auto place = [](QWidget* w, const LayoutRect& r, bool shown) {
        w->setGeometry(r.x, r.y, r.width, r.height);
        w->setVisible(shown);
    };
    place(dataView_, l.dataView, true);
    place(zoomBar_, l.zoomBar, true);
    place(blendingBar_, l.blendingBar, l.blendingBarShown);
    place(header_, l.header, l.headerShown);
    place(hierarchical_, l.structureTree, l.hierarchicalShown);
    place(alphabetical_, l.structureTree, l.alphabeticalShown);
    place(&bookmarks_->tree(), l.bookmarksTree, l.bookmarksShown);
    place(sideTabs_, l.sideTabs, l.sidePanelShown);
    place(genes_, l.geneList, l.sidePanelShown);
}

void CVolumiraView::resizeEvent(QResizeEvent*) { layoutPanels(); }

void CVolumiraView::sideTabChanged(int index) {
    if (index == sideTab_ || index < kAlphabeticalTab || index > kBookmarksTab) return;
    sideTab_ = static_cast<SideTab>(index);
    layoutPanels();
    if (StructureTree* tree = currentStructureTree()) tree->selectStructure(model_.highlightedStructure());
    stateChanged();
}

void CVolumiraView::toggleImageControls() {
    if (!detailViewShown_) return;
    imageControls_ = !imageControls_;
    if (imageControls_) blendingBar_->showModelAlpha();
    layoutPanels();
    stateChanged();
}

void CVolumiraView::toggleExpandedView() {
    expanded_ = !expanded_;
    layoutPanels();
    stateChanged();
}

void CVolumiraView::switchPage(GLInteractiveRenderer* page) {
    const bool scene = !page || page == scene_.get();
    if (!scene && detailViewShown_) {
        detailViewShown_ = false;
        rememberedImageControls_ = imageControls_;
        imageControls_ = false;
    } else if (scene && !detailViewShown_) {
        detailViewShown_ = true;
        imageControls_ = rememberedImageControls_;
    }
    currentPage_ = scene ? scene_.get() : page;
    zoomBar_->setEnabled(scene);
    hierarchical_->setDetailViewShown(detailViewShown_);
    alphabetical_->setDetailViewShown(detailViewShown_);
    layoutPanels();
    dataView_->installPage(currentPage_);
    stateChanged();
}

void CVolumiraView::selectGeneRow(int row) { genes_->selectGeneRow(row); }

void CVolumiraView::selectStructure(const Structure* structure) {
    if (StructureTree* tree = currentStructureTree()) tree->selectStructure(structure);
}

void CVolumiraView::invalidateCheckColumns() {
    if (StructureTree* tree = currentStructureTree()) tree->invalidateCheckColumns();
}

void CVolumiraView::shownBoxClicked(StructureTree& tree, const Structure& structure, bool control) {
    if (!detailViewShown_ || structure.index == 0) return;
    if (toggleShownStructure(model_, structure, tree.kind(), control)) {
        tree.selectStructure(&structure);
        model_.setHighlightedStructure(&structure, true);
    }
}

void CVolumiraView::expressionBoxClicked(StructureTree& tree, const Structure& structure, bool control) {
    tree.selectStructure(&structure);
    model_.setHighlightedStructure(&structure, true);
    toggleExpressionStructure(model_, structure, tree.kind(), control);
}

void CVolumiraView::stateChanged() {
    if (onStateChanged) onStateChanged();
}

void CVolumiraView::modelChanged(ModelEvent event, BrainExpressionModel& model, std::int32_t argument) {
    switch (event) {
    case ModelEvent::ExpressionStructuresChanged:
    case ModelEvent::ShownStructuresChanged: invalidateCheckColumns(); break;
    case ModelEvent::GeneAdded:
        genes_->insertGeneRow(argument);
        selectGeneRow(argument);
        break;
    case ModelEvent::GeneRemoving: genes_->removeGeneRow(argument); break;
    case ModelEvent::ZoomChanged:
    case ModelEvent::ViewReset: zoomBar_->showModelZoom(); break;
    case ModelEvent::GeneColourChanged:
    case ModelEvent::GeneVisibilityChanged: genes_->viewport()->update(); break;
    case ModelEvent::SelectionChanged: selectGeneRow(model.selectedCellGeneIndex()); break;
    case ModelEvent::HighlightedStructureChanged: selectStructure(model.highlightedStructure()); break;
    case ModelEvent::ImageAlphaChanged: blendingBar_->showModelAlpha(); break;
    default: break;
    }
    stateChanged();
}

void CVolumiraView::tabDeselected(int index, void* data) {
    if (resultTabs_) resultTabs_->tabDeselected(index, data);
}

void CVolumiraView::tabSelected(int, void* data) {
    auto* tab = static_cast<BrainDocTab*>(data);
    switchPage(tab ? tab->page.get() : nullptr);
}

void CVolumiraView::tabClosed(int index, void* data) {
    auto* tab = static_cast<BrainDocTab*>(data);
    if (!tab) return;
    // The closed tab's page may be the one shown: take it out of the data view before it goes.
    if (tab->page && tab->page.get() == currentPage_) {
        currentPage_ = nullptr;
        dataView_->installPage(nullptr);
    }
    if (resultTabs_) resultTabs_->tabClosed(index, data);
    stateChanged();
}

} // namespace volumira
