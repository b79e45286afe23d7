#include "app/CMainFrame.h"

#include "app/CGLView.h"
#include "app/AboutDialog.h"
#include "app/AnatomicSearchDialog.h"
#include "app/BookmarksPanel.h"
#include "app/CVolumiraView.h"
#include "app/FileChooser.h"
#include "app/GeneListWidget.h"
#include "app/PreferencesDialog.h"
#include "app/Prompt.h"
#include "app/StructureTree.h"
#include "app/ToolbarIcons.h"
#include "atlas/ReferenceAtlas.h"
#include "document/CVolumiraDoc.h"
#include "document/CommandTable.h"
#include "document/GeneListText.h"
#include "document/RecentFileList.h"
#include "document/ResultTabs.h"
#include "document/SearchCommands.h"
#include "expression/GeneExpression.h"
#include "search/SearchConfig.h"
#include "document/SelectionCommands.h"
#include "expression/BrainExpressionModel.h"
#include "net/NetworkQueue.h"
#include "platform/DataLocations.h"
#include "preferences/SettingsStore.h"
#include "preferences/UserPreferences.h"
#include "scene/BrainSceneRenderer.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScreen>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace volumira {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

// Runs f on the frame's thread: at once from there, queued from a worker.
template <typename F> void onUiThread(QObject* target, F f) {
    if (QThread::currentThread() == target->thread())
        f();
    else
        QMetaObject::invokeMethod(target, f, Qt::QueuedConnection);
}

bool openWithDesktop(const std::string& target) {
    const QString t = QString::fromStdString(target);
    const bool web = t.startsWith("http://") || t.startsWith("https://");
    return QDesktopServices::openUrl(web ? QUrl(t) : QUrl::fromLocalFile(t));
}

// The local files among dropped data.
QStringList droppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

constexpr const char* kBarsValue = "Bars";
constexpr const char* kStatusBarValue = "StatusBarVisible";

// The folder that holds the Data folder in use, where the help documents lie beside it; empty when the
// Data folder cannot be told.
std::string dataParentDirectory() {
    try {
        std::error_code error;
        const std::filesystem::path data = std::filesystem::absolute(dataDirectory(), error).parent_path();
        return error ? std::string() : data.parent_path().string() + "/";
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace

CMainFrame::CMainFrame(CVolumiraDoc& document, ReferenceAtlas& atlas, UserPreferences& preferences, Prompt& prompt)
    : document_(document), atlas_(atlas), preferences_(preferences), prompt_(prompt), opener_(openWithDesktop),
      help_({QDir::currentPath().toStdString() + "/", QCoreApplication::applicationDirPath().toStdString() + "/",
             dataParentDirectory()},
            [this](const std::string& target) { return opener_ && opener_(target); }, preferences.webSiteUrl()) {
    setObjectName("MainFrame");
    setWindowTitle(text(document_.title()) + " - Volumira");
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setUiDispatcher(&dispatcher_);
    ownChooser_ = std::make_unique<QtFileChooser>(this);
    chooser_ = ownChooser_.get();

    view_ = new CVolumiraView(document_, atlas_, preferences_, prompt_, this);
    setCentralWidget(view_);
    view_->dataView().setStatusSink([this](const std::string& message) { setStatusText(message); });
    view_->onStateChanged = [this] { scheduleCommandUpdate(); };
    view_->geneList().onContextMenu = [this](const QPoint& at) { showGeneMenu(at); };
    loader_ = std::make_unique<SectionLoader>(atlas_, document_.detailModel(), static_cast<LoadProgressSink&>(*this), dispatcher_,
                                              [this] { view_->scene().fullScaleLoaded(); });

    buildActions();
    buildMenus();
    buildToolBars();
    buildStatusBar();
    connect(qApp, &QApplication::focusChanged, this, [this] { scheduleCommandUpdate(); });
    setAcceptDrops(true);
    restorePlacement();
    restoreBars();
    updateCommands();
}

CMainFrame::~CMainFrame() {
    // The result pages cancel the transfers they started while those can still be told: a transfer whose
    // report is refused ends on its own, and a page must not cancel it after that. Then the queue ends the
    // rest; transfers and the atlas load report through the dispatcher, so both end before the window does.
    // The view is deleted where it stands: taken out of the window first, its GL view would lose its context
    // (the toolkit drops it when the widget leaves its window), and the scene's textures, lists and buffers
    // would be deleted with no context current.
    delete view_;
    view_ = nullptr;
    NetworkQueue::instance().shutdown();
    dispatcher_.close();
    loader_.reset();
    setUiDispatcher(nullptr);
}

// ---- building ----

void CMainFrame::buildActions() {
    for (const CommandRow& row : commandTable()) {
        auto* action = new QAction(text(menuLabel(row)), this);
        action->setObjectName(QString("Command%1").arg(static_cast<int>(row.id)));
        action->setData(static_cast<int>(row.id));
        action->setStatusTip(text(statusPrompt(row)));
        const std::string tip = volumira::toolTip(row);
        action->setToolTip(text(tip.empty() ? menuLabel(row) : tip));
        QList<QKeySequence> keys;
        if (const std::string key = menuShortcut(row); !key.empty()) keys << QKeySequence(text(key));
        if (row.extraShortcut) keys << QKeySequence(row.extraShortcut);
        action->setShortcuts(keys);
        action->setCheckable(row.mark != CommandMark::None);
        const QIcon icon = toolbarIcon(row.id);
        if (!icon.isNull()) action->setIcon(icon);
        const CommandId id = row.id;
        // The mark is the rules' to set: a click only asks for the command.
        connect(action, &QAction::triggered, this, [this, id, action] {
            const CommandState before = commandState(id, commandContext());
            action->setChecked(before.checked);
            runCommand(id);
        });
        addAction(action);
        actions_[row.id] = action;
    }
    // Radio groups make the marks look like radio items; exclusivity is the model's.
    for (const auto& group : {std::vector<CommandId>{CommandId::ColoursUserDefined, CommandId::ColoursAtlas,
                                                     CommandId::ColoursExpressionLevel, CommandId::ColoursJet},
                              std::vector<CommandId>{CommandId::ToolRotate, CommandId::ToolPan, CommandId::ToolSelect},
                              std::vector<CommandId>{CommandId::CompassCorner, CommandId::CompassBregma,
                                                     CommandId::CompassHide}}) {
        auto* actionGroup = new QActionGroup(this);
        actionGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
        for (const CommandId id : group) actionGroup->addAction(actions_.at(id));
    }
}

void CMainFrame::buildMenus() {
    for (const MenuRow& row : volumira::menuBar()) {
        QMenu* menu = QMainWindow::menuBar()->addMenu(row.title);
        menu->setObjectName(row.objectName);
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommands);
        QMenu* target = menu;
        for (const MenuEntry& entry : row.entries) {
            switch (entry.kind) {
            case MenuEntryKind::Command: target->addAction(&action(entry.command)); break;
            case MenuEntryKind::Separator: target->addSeparator(); break;
            case MenuEntryKind::SubmenuStart:
                target = menu->addMenu(entry.title);
                target->setObjectName(QString(entry.title).remove('&') + "Menu");
                break;
            case MenuEntryKind::SubmenuEnd: target = menu; break;
            case MenuEntryKind::RecentFiles:
                // The entries go into the menu itself, in the placeholder's place.
                recentMenu_ = target;
                recentPlaceholder_ = entry.title;
                recentActions_ = {target->addAction(recentPlaceholder_)};
                break;
            }
        }
    }
    rebuildRecentFiles();
}

void CMainFrame::buildToolBars() {
    toolBar_ = addToolBar("Standard");
    toolBar_->setObjectName("ToolBar");
    toolBar_->setIconSize(QSize(16, 15));
    for (const CommandId id : volumira::toolBar()) {
        if (id == CommandId{0})
            toolBar_->addSeparator();
        else
            toolBar_->addAction(&action(id));
    }
    searchBar_ = addToolBar("Search");
    searchBar_->setObjectName("SearchBar");
    searchBox_ = new QLineEdit;
    searchBox_->setObjectName("SearchBox");
    searchBox_->setMinimumWidth(220);
    searchButton_ = new QPushButton("Search");
    searchButton_->setObjectName("SearchButton");
    searchBar_->addWidget(searchBox_);
    searchBar_->addWidget(searchButton_);
    connect(searchBox_, &QLineEdit::returnPressed, this, [this] { runCommand(CommandId::Search); });
    connect(searchButton_, &QPushButton::clicked, this, [this] { runCommand(CommandId::Search); });
}

void CMainFrame::buildStatusBar() {
    statusBar()->setObjectName("StatusBar");
    statusText_ = new QLabel("Ready");
    statusText_->setObjectName("StatusText");
    statusBar()->addWidget(statusText_, 1);
    progress_ = new QProgressBar;
    progress_->setObjectName("Progress");
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    progress_->setFixedWidth(198);
    progress_->hide();
    statusBar()->addPermanentWidget(progress_);
}

void CMainFrame::rebuildRecentFiles() {
    if (!recentMenu_) return;
    const QList<QAction*> entries = recentMenu_->actions();
    const qsizetype last = entries.indexOf(recentActions_.back());
    QAction* const before = last >= 0 && last + 1 < entries.size() ? entries[last + 1] : nullptr;
    // Deleted later: the entry being triggered may be among them.
    for (QAction* old : recentActions_) {
        recentMenu_->removeAction(old);
        old->deleteLater();
    }
    recentActions_.clear();
    const auto& paths = document_.files().recentFiles().paths();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        auto* entry = new QAction(text(RecentFileList::menuLabel(i, paths[i])), recentMenu_);
        entry->setStatusTip("Open this document");
        const std::string path = paths[i];
        connect(entry, &QAction::triggered, this, [this, path] { openGeneFile(path); });
        recentActions_ << entry;
    }
    if (recentActions_.isEmpty()) {
        auto* placeholder = new QAction(recentPlaceholder_, recentMenu_);
        placeholder->setEnabled(false);
        placeholder->setStatusTip("Open this document");
        recentActions_ << placeholder;
    }
    recentMenu_->insertActions(before, recentActions_);
}

// ---- command state ----

QAction& CMainFrame::action(CommandId id) const {
    const auto found = actions_.find(id);
    if (found == actions_.end()) throw std::invalid_argument("No action for command " + std::to_string(int(id)));
    return *found->second;
}

CommandContext CMainFrame::commandContext() const {
    CommandContext c;
    c.model = &document_.detailModel();
    c.detailViewShown = view_->detailViewShown();
    c.atlasLoading = loader_ && loader_->loading();
    c.tabCount = view_->tabs().tabCount();
    c.selectedTab = view_->tabs().selectedIndex();
    StructureTree* tree = view_->currentStructureTree();
    const QWidget* focus = QApplication::focusWidget();
    if (focus && tree && focus == tree)
        c.focus = FocusArea::StructureTree;
    else if (focus && focus == &view_->geneList())
        c.focus = FocusArea::GeneList;
    else if (focus && focus == searchBox_)
        c.focus = FocusArea::SearchBox;
    c.treeHasSelection = tree && tree->selectedStructure();
    c.geneRowCount = view_->geneList().count();
    c.selectedGeneCount = static_cast<int>(view_->geneList().selectedRows().size());
    const GeneExpression* first = firstSelectedGene();
    c.firstSelectedAllowsSimilar = first && allowsSimilarSearch(*first, document_.searchConfig());
    c.toolbarShown = toolBar_ && !toolBar_->isHidden();
    c.statusBarShown = !statusBar()->isHidden();
    c.expanded = view_->expanded();
    c.imageControlsVisible = view_->imageControlsVisible();
    c.rememberedImageControls = view_->rememberedImageControls();
    c.bookmarksTabShown = view_->sideTab() == kBookmarksTab && !view_->expanded();
    c.snapbackExists = view_->bookmarks().hasSnapback();
    return c;
}

void CMainFrame::updateCommands() {
    updatePending_ = false;
    const CommandContext context = commandContext();
    for (const auto& [id, action] : actions_) {
        const CommandState state = commandState(id, context);
        action->setEnabled(state.enabled);
        if (action->isCheckable()) action->setChecked(state.checked);
    }
    searchButton_->setEnabled(action(CommandId::Search).isEnabled());
}

void CMainFrame::scheduleCommandUpdate() {
    if (updatePending_) return;
    updatePending_ = true;
    QTimer::singleShot(0, this, &CMainFrame::updateCommands);
}

void CMainFrame::runCommand(CommandId id) {
    const CommandRow& row = commandRow(id);
    if (!commandState(id, commandContext()).enabled) return;
    try {
        row.run(*this);
    } catch (const std::exception& e) {
        prompt_.error(e.what());
    }
    updateCommands();
}

// ---- status line ----

void CMainFrame::setStatusText(const std::string& message) {
    onUiThread(this, [this, message] { statusText_->setText(text(message)); });
}

void CMainFrame::setProgress(int percent) {
    onUiThread(this, [this, percent] {
        progress_->show();
        progress_->setValue(percent);
        progress_->repaint();
    });
}

void CMainFrame::hideProgress() {
    onUiThread(this, [this] { progress_->hide(); });
}

void CMainFrame::showError(const std::string& message) {
    prompt_.error(message);
    updateCommands();
}

std::string CMainFrame::searchBoxText() const { return searchBox_ ? searchBox_->text().toStdString() : ""; }

// ---- commands ----

BrainExpressionModel& CMainFrame::detailModel() { return document_.detailModel(); }

const Ontology& CMainFrame::ontology() const { return atlas_.ontology(); }

bool CMainFrame::openGeneFile(const std::string& path) {
    const std::string message = document_.files().open(path);
    rebuildRecentFiles();
    updateCommands();
    if (message.empty()) return true;
    prompt_.error(message);
    return false;
}

void CMainFrame::openGene() {
    if (const std::optional<std::string> path = chooser_->chooseOpenPath()) openGeneFile(*path);
}

void CMainFrame::saveGenes() {
    const std::vector<int> rows = view_->geneList().selectedRows();
    const std::string message = document_.files().save(rows, *chooser_, [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
    if (!message.empty()) prompt_.error(message);
}

void CMainFrame::closeGenes() {
    const std::vector<int> rows = view_->geneList().selectedRows();
    document_.files().close(rows);
}

void CMainFrame::exitProgram() { close(); }

void CMainFrame::copy() {
    const CommandContext c = commandContext();
    if (c.focus == FocusArea::StructureTree) {
        StructureTree* tree = view_->currentStructureTree();
        const QList<QTreeWidgetItem*> items = tree->selectedItems();
        if (!items.isEmpty()) QApplication::clipboard()->setText(items.first()->text(0));
    } else if (c.focus == FocusArea::GeneList) {
        std::vector<const GeneExpression*> genes;
        BrainExpressionModel& model = document_.detailModel();
        for (const int row : view_->geneList().selectedRows())
            if (row < model.geneCount()) genes.push_back(&model.geneAt(row));
        QApplication::clipboard()->setText(text(geneListCopyText(genes)));
    }
}

void CMainFrame::copyImage() { view_->dataView().copyImageToClipboard(); }

void CMainFrame::selectAllGenes() { view_->geneList().selectAll(); }

void CMainFrame::toggleSection(int axis) {
    loader_->toggleSection(axis);
    updateCommands();
}

void CMainFrame::showEnclosingStructure() { volumira::showEnclosingStructure(document_.detailModel()); }

void CMainFrame::centerOnSelection() {
    if (const auto centre = selectionCentre(document_.detailModel())) view_->scene().centerOn(*centre);
}

void CMainFrame::showFullResolutionImage() { view_->scene().showAtlasImageAtPoint(); }

void CMainFrame::toggleImageControls() { view_->toggleImageControls(); }

void CMainFrame::toggleExpandedView() { view_->toggleExpandedView(); }

void CMainFrame::setToolMode(int mode) {
    document_.detailModel().setToolMode(mode);
    view_->dataView().requestRedraw();
}

void CMainFrame::toggleToolbar() { toolBar_->setVisible(toolBar_->isHidden()); }

void CMainFrame::toggleStatusBar() { statusBar()->setVisible(statusBar()->isHidden()); }

void CMainFrame::showOptions() {
    PreferencesDialog dialog(preferences_, this);
    dialog.exec();
}

void CMainFrame::openTutorial() {
    if (const std::string message = help_.openTutorial(); !message.empty()) prompt_.error(message);
}

void CMainFrame::openReleaseNotes() {
    if (const std::string message = help_.openReleaseNotes(); !message.empty()) prompt_.error(message);
}

void CMainFrame::openBrainAtlasSite() {
    if (const std::string message = help_.openWebSite(); !message.empty()) prompt_.error(message);
}

void CMainFrame::showAbout() {
    AboutDialog dialog(preferences_.version(), preferences_.build(), this);
    dialog.exec();
}

// ---- placement, bars, drops ----

QSize CMainFrame::firstStartSize(const QSize& available) {
    // A tenth of the free area is left for the title bar and borders, whose size is the window manager's.
    const int width = std::min(kPreferredWidth, available.width() * 9 / 10);
    const int height = std::min(kPreferredHeight, available.height() * 9 / 10);
    return {std::max(width, kMinimumWidth), std::max(height, kMinimumHeight)};
}

void CMainFrame::restorePlacement() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        resize(kPreferredWidth, kPreferredHeight);
        return;
    }
    const QRect work = screen->availableGeometry();
    ScreenMetrics metrics;
    metrics.workAreaLeft = work.left();
    metrics.workAreaTop = work.top();
    metrics.screenWidth = screen->geometry().width();
    metrics.screenHeight = screen->geometry().height();
    metrics.iconWidth = metrics.iconHeight = 32;
    const std::optional<WindowPlacement> placement = preferences_.loadWindowPlacement(metrics);
    if (!placement) {
        // No position: the window system chooses one.
        resize(firstStartSize(work.size()));
        return;
    }
    setGeometry(placement->x, placement->y, placement->width, placement->height);
    initialShowState_ = placement->showState;
}

void CMainFrame::savePlacement() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QPoint origin = screen ? screen->availableGeometry().topLeft() : QPoint();
    // The restored rectangle, so that a maximised window comes back maximised and still restores to it.
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    WindowRect r;
    r.left = normal.left() - origin.x();
    r.top = normal.top() - origin.y();
    r.right = r.left + normal.width();
    r.bottom = r.top + normal.height();
    // A window closed while minimised reopens in its normal state: one that starts minimised looks like a
    // program that did not start.
    preferences_.saveWindowPlacement(isMaximized() ? kShowMaximized : kShowNormal, r);
}

void CMainFrame::restoreBars() {
    SettingsStore& settings = document_.settings();
    const std::string bars = settings.readText(kSettingsSection, kBarsValue, "");
    if (!bars.empty()) restoreState(QByteArray::fromBase64(QByteArray::fromStdString(bars)));
    statusBar()->setVisible(settings.readInteger(kSettingsSection, kStatusBarValue, 1) != 0);
}

void CMainFrame::saveBars() {
    SettingsStore& settings = document_.settings();
    settings.writeText(kSettingsSection, kBarsValue, saveState().toBase64().toStdString());
    settings.writeInteger(kSettingsSection, kStatusBarValue, statusBar()->isHidden() ? 0 : 1);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    savePlacement();
    saveBars();
    QMainWindow::closeEvent(event);
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    if (initialShowState_ == kShowMaximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    for (const QString& file : files) openGeneFile(file.toStdString());
}

const GeneExpression* CMainFrame::firstSelectedGene() const {
    const std::vector<int> rows = view_->geneList().selectedRows();
    const BrainExpressionModel& model = document_.detailModel();
    return !rows.empty() && rows.front() < model.geneCount() ? &model.geneAt(rows.front()) : nullptr;
}

void CMainFrame::search() {
    const std::string text = searchBoxText();
    if (text.empty()) return;
    view_->search().startTextSearch(text, text, false);
}

void CMainFrame::newTab() { view_->resultTabs().newTab(true, TabKind::Results); }

void CMainFrame::closeTab() { view_->resultTabs().closeSelected(); }

void CMainFrame::nextTab() { view_->resultTabs().selectNext(); }

void CMainFrame::previousTab() { view_->resultTabs().selectPrevious(); }

void CMainFrame::anatomicSearch() {
    if (!anatomic_) {
        try {
            anatomic_ = new AnatomicSearchDialog(document_.searchConfigSource(), prompt_,
                                                 [this](const std::string& query, const std::string& caption) {
                                                     try {
                                                         view_->search().startAnatomicSearch(query, caption);
                                                     } catch (const std::exception& e) {
                                                         prompt_.error(e.what());
                                                     }
                                                     updateCommands();
                                                 },
                                                 this);
        } catch (...) {
            prompt_.error("Error: Could not create the anatomic search dialog box.");
            return;
        }
    }
    anatomic_->show();
    anatomic_->raise();
    anatomic_->activateWindow();
}

void CMainFrame::importGeneList() {
    const std::optional<std::string> path = chooser_->chooseGeneListPath();
    if (!path) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        view_->search().importGeneList(*path, [this](const std::string& question) {
            return prompt_.askQuestion(question);
        });
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        prompt_.error(e.what());
        return;
    }
    QApplication::restoreOverrideCursor();
}

void CMainFrame::findSimilar() {
    const GeneExpression* gene = firstSelectedGene();
    if (!gene) return;
    if (!allowsSimilarSearch(*gene, document_.searchConfig())) {
        prompt_.error("Not enough information to find similar genes. The image series ID is missing.");
        return;
    }
    view_->search().findSimilar(gene->symbol(), gene->imageSeriesId());
}

void CMainFrame::getInfo() {
    std::vector<std::string> pages;
    const BrainExpressionModel& model = document_.detailModel();
    for (const int row : view_->geneList().selectedRows())
        if (row < model.geneCount())
            pages.push_back(preferences_.seriesInfoUrl() + std::to_string(model.geneAt(row).imageSeriesId()));
    openInfoPages(std::move(pages));
}

void CMainFrame::newBookmark() { view_->bookmarks().newBookmark(); }

void CMainFrame::newBookmarkGroup() { view_->bookmarks().newGroup(); }

void CMainFrame::markForSnapback() { view_->bookmarks().markForSnapback(); }

void CMainFrame::goBack() { view_->bookmarks().goBack(); }

void CMainFrame::openInfoPages(std::vector<std::string> pages) {
    if (pages.empty()) return;
    if (opener_) opener_(pages.front());
    pages.erase(pages.begin());
    // The browser gets the pages one by one, as it may open a window for each.
    if (!pages.empty())
        QTimer::singleShot(kInfoPageIntervalMs, Qt::PreciseTimer, this, [this, pages] { openInfoPages(pages); });
}

void CMainFrame::showGeneMenu(const QPoint& globalPosition) {
    view_->geneList().setFocus(Qt::MouseFocusReason);
    updateCommands();
    QMenu menu(this);
    menu.setObjectName("GeneMenu");
    const auto entry = [&](const char* label, CommandId id) {
        QAction* item = menu.addAction(label);
        item->setEnabled(action(id).isEnabled());
        connect(item, &QAction::triggered, this, [this, id] { runCommand(id); });
    };
    entry("&Get Info", CommandId::GetInfo);
    entry("&Copy Info", CommandId::Copy);
    entry("&Find Similar", CommandId::FindSimilar);
    menu.addSeparator();
    entry("C&lose", CommandId::CloseGene);
    entry("&Save...", CommandId::SaveGene);
    menu.exec(globalPosition);
}

} // namespace volumira
