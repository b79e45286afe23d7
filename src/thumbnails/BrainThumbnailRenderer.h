#pragma once

// The page of a result tab: up to ten genes of a paged gene list as rotating expression thumbnails,
// a header with paging buttons and the list's title, and a status bar for the queue of full downloads,
// which a GeneFetcher fetches one at a time and the page adds to the document's model. Owns the ten
// slots, the header and status controls, the download queue and the fetcher; everything else is the
// caller's and must outlive the page.

#include "expression/BrainExpressionModelListener.h"
#include "net/GeneFetchCompletionListener.h"
#include "net/GeneFetcher.h"
#include "net/ServerUrls.h"
#include "render/GLRenderer.h"
#include "render/GLTextureButton.h"
#include "render/TimerListener.h"
#include "search/PagedGeneListListener.h"
#include "thumbnails/ExpressionThumbnailRenderer.h"
#include "thumbnails/ThumbnailLayout.h"

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace volumira {

class BrainExpressionModel;
class GLDisplay;
class GLTextBox;
class GeneExpressionCache;
class PagedGeneList;
class ReferenceAtlas;
class SearchConfig;
class SearchController;
class TabControlRenderer;
class UserPreferences;

// Shows an error to the user (a message box in the window); the page goes on afterwards.
using ThumbnailErrors = std::function<void(const std::string& message)>;
// The search configuration of the moment: an update from the server may replace it while a page lives.
using SearchConfigSource = std::function<const SearchConfig&()>;

class BrainThumbnailRenderer : public GLInteractiveRenderer,
                               public PagedGeneListListener,
                               public GeneFetchCompletionListener,
                               public BrainExpressionModelListener,
                               public TimerListener {
  public:
    static constexpr int kTimerMs = 50;
    static constexpr int kHeaderButtons = 6;
    enum HeaderButton { kFirst = 0, kPrevious = 1, kNext = 2, kLast = 3, kUnused = 4, kAnimate = 5 };
    // Pages moved by the paging buttons with Shift, and by Page Up and Page Down.
    static constexpr int kLargeStep = 5;
    // The level of the grid file a download fetches.
    static constexpr int kDownloadLevel = 2;

    // cache: the process-wide thumbnail cache (resultListThumbnailCache()). The display's context must
    // be current or obtainable: the page's textures are made here.
    BrainThumbnailRenderer(GLDisplay& display, PagedGeneList& list, BrainExpressionModel& model,
                           ReferenceAtlas& atlas, TabControlRenderer& tabs, SearchController& controller,
                           SearchConfigSource config, UserPreferences& preferences, GeneExpressionCache& cache,
                           ThumbnailErrors errors);
    ~BrainThumbnailRenderer() override;
    BrainThumbnailRenderer(const BrainThumbnailRenderer&) = delete;
    BrainThumbnailRenderer& operator=(const BrainThumbnailRenderer&) = delete;

    // GLRenderer
    void initialize() override;
    void draw() override;
    void resize(int width, int height) override;
    void setActive(bool active) override;

    // Window coordinates (y downwards), left button only.
    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseMove(int x, int y, int modifiers, std::uint32_t time) override;
    void mouseCaptureLost() override;
    bool keyChar(char32_t character, int modifiers, std::uint32_t time) override;
    bool keySpecial(int code, int modifiers, std::uint32_t time) override;

    void listChanged(int event, PagedGeneList& list, int value) override;
    void fetchComplete(GeneFetcher& fetcher, const std::uint8_t* data, std::size_t length) override;
    void fetchFailed(GeneFetcher& fetcher, const std::string& message) override;
    void fetchProgress(GeneFetcher& fetcher, float fraction) override;
    void modelChanged(std::int32_t event, BrainExpressionModel& model, std::int32_t argument) override;
    void timerTick() override;

    // The download queue: name shown in the status bar, url of the grid file.
    virtual void queueDownload(const std::string& name, const std::string& url);
    virtual void setAnimating(bool on);
    virtual void cancelDownload();
    virtual void cancelAllDownloads();

    // State for the window and for tests.
    const ThumbnailLayout& layout() const { return layout_; }
    bool headerButtonEnabled(int index) const { return header_[static_cast<std::size_t>(index)]->enabled(); }
    const std::string& statusText() const { return statusText_; }
    const std::string& titleText() const { return titleText_; }
    bool isAnimating() const { return animating_; }
    bool userStoppedAnimation() const { return userStopped_; }
    float thumbnailAngle() const { return angle_; }
    std::size_t queuedDownloads() const { return queue_.size(); }
    const GeneFetcher& fetcher() const { return fetcher_; }
    ExpressionThumbnailRenderer& slot(int index) { return *slots_.at(static_cast<std::size_t>(index)); }
    // Where a control of the page lies in window coordinates (y downwards), for input.
    int headerButtonWindowX(int index) const { return 5 + 18 * index + 8; }
    int headerWindowY() const { return stripHeight() + 10; }

    // What the slots use of the page.
    GLDisplay& display() { return display_; }
    ReferenceAtlas& atlas() { return atlas_; }
    const std::array<int, 3>& atlasGrid() const { return grid_; }
    const BrainExpressionModel& model() const { return model_; }
    const PagedGeneList& list() const { return list_; }
    const SearchConfig& searchConfig() const { return config_(); }
    const ServerUrls& urls() const { return urls_; }
    GeneExpressionCache& cache() { return cache_; }
    // Stores a downloaded thumbnail file; every tenth store trims the cache.
    void storeThumbnail(int type, std::int32_t id, const std::uint8_t* data, std::size_t length);
    // Thumbnails the server could not give, so that showing their page again does not ask once more.
    void markMissing(const std::string& key) { missing_.insert(key); }
    bool isMissing(const std::string& key) const { return missing_.count(key) != 0; }

  private:
    struct QueuedDownload {
        std::string name, url;
    };
    enum class Target { kNone, kTabs, kHeader, kCancel, kCancelAll, kSlot };

    int stripHeight() const;
    void placeControls();
    void giveEntry(int slot, const GeneExpression& entry, int index);
    void clearSlots();
    void drawHeader();
    void drawThumbnails();
    void drawStatusBar();
    void refreshTitle();
    void refreshButtons();
    void startNextDownload();
    void refreshStatus();
    void setStatus(std::string text);
    void goToPage(int page);
    void headerAction(int index, int modifiers);
    void slotAction(int slot, ExpressionThumbnailRenderer::Action action);
    void toggleAnimation();
    int headerIndexAt(int x, int y) const;
    int overlayY(int windowY) const { return height_ - 1 - windowY; }

    GLDisplay& display_;
    PagedGeneList& list_;
    BrainExpressionModel& model_;
    ReferenceAtlas& atlas_;
    TabControlRenderer& tabs_;
    SearchController& controller_;
    SearchConfigSource config_;
    ServerUrls urls_;
    GeneExpressionCache& cache_;
    ThumbnailErrors errors_;
    std::array<int, 3> grid_;
    int width_ = 1, height_ = 1;
    ThumbnailLayout layout_;
    std::vector<std::unique_ptr<ExpressionThumbnailRenderer>> slots_;
    bool active_ = false;
    bool animating_ = false;
    bool timerRunning_ = false;
    bool userStopped_ = false;
    bool hasResults_ = false;
    float angle_ = 0.5f;
    std::unique_ptr<GLTextBox> titleBox_, statusBox_;
    std::string titleText_, statusText_;
    std::array<std::unique_ptr<GLTextureButton>, kHeaderButtons> header_;
    std::unique_ptr<GLTextureButton> cancel_, cancelAll_;
    int pressedHeader_ = -1;
    bool onPressed_ = false;
    Target target_ = Target::kNone;
    int targetSlot_ = -1;
    std::deque<QueuedDownload> queue_;
    std::string downloading_;
    GeneFetcher fetcher_;
    int storesSinceTrim_ = 0;
    std::set<std::string> missing_;
};

} // namespace volumira
