#pragma once

#include "app/QtUiDispatcher.h"
#include "document/CommandContext.h"
#include "document/CommandId.h"
#include "document/CommandTarget.h"
#include "document/HelpCommands.h"
#include "preferences/PreferenceRecords.h"
#include "document/SectionLoader.h"

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolBar;

namespace volumira {

class AnatomicSearchDialog;
class CVolumiraDoc;
class GeneExpression;
class CVolumiraView;
class FileChooser;
class Prompt;
class ReferenceAtlas;
class UserPreferences;

// The program's main window: menus, tool bar, search bar, status bar with its progress bar, and the one
// view. It turns the command table into actions, keeps their enable and check marks current, and carries
// out the commands on the document and the view.
class CMainFrame : public QMainWindow, public CommandTarget, public LoadProgressSink {
  public:
    static constexpr int kMinimumWidth = 1000, kMinimumHeight = 640;
    // The size the window asks for when no placement is stored, where the screen has room for it.
    static constexpr int kPreferredWidth = 1280, kPreferredHeight = 800;

    // The size of a window without a stored placement on a screen with this free area: the preferred
    // size, made smaller where it would not fit with room to spare for the window's frame, but never
    // below the minimum.
    static QSize firstStartSize(const QSize& available);

    // Everything given must outlive the frame. The frame installs its UI dispatcher for the network and
    // shuts the network queue down when it goes.
    CMainFrame(CVolumiraDoc& document, ReferenceAtlas& atlas, UserPreferences& preferences, Prompt& prompt);
    ~CMainFrame() override;

    CVolumiraView& view() { return *view_; }
    QAction& action(CommandId id) const;
    QLineEdit& searchBox() { return *searchBox_; }
    QToolBar& toolBar() { return *toolBar_; }
    QProgressBar& progressBar() { return *progress_; }
    QLabel& statusText() { return *statusText_; }
    // The recent-file entries where they stand in the File menu, newest first; the disabled placeholder
    // alone while the list is empty.
    const QList<QAction*>& recentFileActions() const { return recentActions_; }
    SectionLoader& sectionLoader() { return *loader_; }
    // Replaces the platform's file dialogs (tests).
    void setFileChooser(FileChooser* chooser) { chooser_ = chooser; }
    // Hands a document path or web address to the desktop; false when it could not. Replaceable for tests.
    using DesktopOpener = std::function<bool(const std::string&)>;
    void setDesktopOpener(DesktopOpener opener) { opener_ = std::move(opener); }
    const HelpCommands& help() const { return help_; }

    // Opens a gene file as Open Gene does; false (after telling the user) when it could not be read.
    bool openGeneFile(const std::string& path);
    std::string searchBoxText() const;
    // Safe from any thread.
    void setStatusText(const std::string& text) override;
    void setProgress(int percent) override;
    void hideProgress() override;
    // Sets every action's enabled state and mark from the current state of the document and view.
    void updateCommands();
    CommandContext commandContext() const;
    // Runs a command as its menu entry would, when it is enabled.
    void runCommand(CommandId id);

    // CommandTarget
    BrainExpressionModel& detailModel() override;
    const Ontology& ontology() const override;
    void openGene() override;
    void saveGenes() override;
    void closeGenes() override;
    void exitProgram() override;
    void copy() override;
    void copyImage() override;
    void selectAllGenes() override;
    void toggleSection(int axis) override;
    void showEnclosingStructure() override;
    void centerOnSelection() override;
    void showFullResolutionImage() override;
    void toggleImageControls() override;
    void toggleExpandedView() override;
    void setToolMode(int mode) override;
    void toggleToolbar() override;
    void toggleStatusBar() override;
    void showOptions() override;
    void openTutorial() override;
    void openReleaseNotes() override;
    void openBrainAtlasSite() override;
    void showAbout() override;
    void search() override;
    void newTab() override;
    void closeTab() override;
    void nextTab() override;
    void previousTab() override;
    void anatomicSearch() override;
    void importGeneList() override;
    void findSimilar() override;
    void getInfo() override;
    void newBookmark() override;
    void newBookmarkGroup() override;
    void markForSnapback() override;
    void goBack() override;
    // Shown by Anatomic Search; made the first time.
    AnatomicSearchDialog* anatomicSearchDialog() const { return anatomic_; }
    // Series pages of Get Info are opened this far apart.
    static constexpr int kInfoPageIntervalMs = 500;

  protected:
    // Closing saves the window's placement and its bars before the window goes.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void showError(const std::string& text) override;
    void buildActions();
    void buildMenus();
    void buildToolBars();
    void buildStatusBar();
    void rebuildRecentFiles();
    void showGeneMenu(const QPoint& globalPosition);
    void scheduleCommandUpdate();
    // The gene of the first selected row of the gene list, or null.
    const GeneExpression* firstSelectedGene() const;
    void openInfoPages(std::vector<std::string> pages);
    void restorePlacement();
    void savePlacement();
    void restoreBars();
    void saveBars();

    CVolumiraDoc& document_;
    ReferenceAtlas& atlas_;
    UserPreferences& preferences_;
    Prompt& prompt_;
    QtUiDispatcher dispatcher_;
    CVolumiraView* view_ = nullptr;
    std::unique_ptr<FileChooser> ownChooser_;
    FileChooser* chooser_ = nullptr;
    std::unique_ptr<SectionLoader> loader_;
    std::map<CommandId, QAction*> actions_;
    QToolBar* toolBar_ = nullptr;
    QToolBar* searchBar_ = nullptr;
    QLineEdit* searchBox_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QLabel* statusText_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QString recentPlaceholder_;
    QList<QAction*> recentActions_;
    AnatomicSearchDialog* anatomic_ = nullptr;
    DesktopOpener opener_;
    HelpCommands help_;
    // The show state the stored placement asks for at the first showing.
    std::int32_t initialShowState_ = kShowNormal;
    bool shown_ = false;
    bool updatePending_ = false;

  public:
    // Show states as the placement stores them.
    static constexpr std::int32_t kShowNormal = 1, kShowMaximized = 3;
};

} // namespace volumira
