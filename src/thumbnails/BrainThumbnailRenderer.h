#pragma once

// Draws the page of a result tab: the ThumbnailPage it owns (up to ten genes of a paged gene list) as
// rotating expression thumbnails, a header with paging buttons and the list's title, and a status bar for
// the download queue; it runs the rotation. Its mouse and keys go to a ThumbnailPageInput, which turns them
// into the page's commands. Owns the page, the input, the ten slot renderers and the header and status
// controls; everything else is the caller's and must outlive it.

#include "expression/BrainExpressionModelListener.h"
#include "render/GLRenderer.h"
#include "render/GLTextureButton.h"
#include "render/TimerListener.h"
#include "thumbnails/ExpressionThumbnailRenderer.h"
#include "thumbnails/ThumbnailLayout.h"
#include "thumbnails/ThumbnailPage.h"
#include "thumbnails/ThumbnailPageInput.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace volumira {

class BrainExpressionModel;
class GLDisplay;
class GLTextBox;
class GeneExpressionCache;
class PagedGeneList;
class ReferenceAtlas;
class SearchController;
class TabControlRenderer;
class UserPreferences;

class BrainThumbnailRenderer : public GLInteractiveRenderer,
                               public ThumbnailPageObserver,
                               public BrainExpressionModelListener,
                               public TimerListener {
  public:
    static constexpr int kTimerMs = 50;
    static constexpr int kHeaderButtons = 6;
    enum HeaderButton { kFirst = 0, kPrevious = 1, kNext = 2, kLast = 3, kUnused = 4, kAnimate = 5 };

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

    // Window coordinates (y downwards), left button only; handled by the input.
    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseMove(int x, int y, int modifiers, std::uint32_t time) override;
    void mouseCaptureLost() override;
    bool keyChar(char32_t character, int modifiers, std::uint32_t time) override;
    bool keySpecial(int code, int modifiers, std::uint32_t time) override;

    void pageChanged() override;
    void slotChanged(int slot, SlotChange change) override;
    void modelChanged(ModelEvent event, BrainExpressionModel& model, std::int32_t argument) override;
    void timerTick() override;

    virtual void setAnimating(bool on);
    // On when off, off (and kept off as the user's wish) when on.
    void toggleAnimation();

    // What is drawn.
    ThumbnailPage& thumbnailPage() { return page_; }
    const ThumbnailPage& thumbnailPage() const { return page_; }
    // The state for the window and for tests.
    const ThumbnailLayout& layout() const { return layout_; }
    bool headerButtonEnabled(int index) const { return header_[static_cast<std::size_t>(index)]->enabled(); }
    bool isAnimating() const { return animating_; }
    bool userStoppedAnimation() const { return userStopped_; }
    float thumbnailAngle() const { return angle_; }
    ExpressionThumbnailRenderer& slot(int index) { return *slots_.at(static_cast<std::size_t>(index)); }
    const ExpressionThumbnailRenderer& slot(int index) const {
        return *slots_.at(static_cast<std::size_t>(index));
    }

    // Where the controls lie, for input. Window coordinates (y downwards) unless said otherwise.
    int headerButtonWindowX(int index) const { return 5 + 18 * index + 8; }
    int headerWindowY() const { return stripHeight() + 10; }
    // The tab strip's height while it shows, else 0.
    int stripHeight() const;
    // A window row in overlay coordinates (y upwards).
    int overlayY(int windowY) const { return height_ - 1 - windowY; }
    // In overlay coordinates.
    const GLTextureButton& cancelButton() const { return *cancel_; }
    const GLTextureButton& cancelAllButton() const { return *cancelAll_; }

    // What the slot renderers use.
    GLDisplay& display() { return display_; }
    const std::array<int, 3>& atlasGrid() const { return grid_; }
    const BrainExpressionModel& model() const { return model_; }

  private:
    void placeControls();
    void drawHeader();
    void drawThumbnails();
    void drawStatusBar();
    void refreshButtons();

    GLDisplay& display_;
    BrainExpressionModel& model_;
    TabControlRenderer& tabs_;
    std::array<int, 3> grid_;
    ThumbnailPage page_;
    ThumbnailPageInput input_;
    int width_ = 1, height_ = 1;
    ThumbnailLayout layout_;
    std::vector<std::unique_ptr<ExpressionThumbnailRenderer>> slots_;
    bool active_ = false;
    bool animating_ = false;
    bool timerRunning_ = false;
    bool userStopped_ = false;
    float angle_ = 0.5f;
    std::unique_ptr<GLTextBox> titleBox_, statusBox_;
    std::array<std::unique_ptr<GLTextureButton>, kHeaderButtons> header_;
    std::unique_ptr<GLTextureButton> cancel_, cancelAll_;
};

} // namespace volumira
