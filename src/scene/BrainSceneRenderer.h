#pragma once

#include "bookmarks/BookmarkNavigator.h"
#include "expression/BrainExpressionModelListener.h"
#include "preferences/UserPreferences.h"
#include "render/CuttingPlaneRenderer.h"
#include "render/ExpressorStyle.h"
#include "render/GLRenderer.h"
#include "render/MPRRenderer.h"
#include "render/MovePlaneMouseTool.h"
#include "render/PanMouseTool.h"
#include "render/SceneCamera.h"
#include "render/TimerListener.h"
#include "render/ToolOwner.h"
#include "render/Trackball.h"
#include "scene/SceneImagePanel.h"
#include "scene/SceneInput.h"
#include "scene/SceneOverlays.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace volumira {

class Bookmark;
class BrainMeshSet;
class ExpressionRenderer;
class ExpressionThresholdControl;
class GLDisplay;
class GeneExpression;
class ReferenceAtlas;
class TabControlRenderer;
struct ExpressionCell;

// The 3D brain of one document: structure surfaces, section planes, clipping box, the expressors of
// every gene and the compass. It draws from the model, picks by GL selection, and animates spins and
// bookmark moves on the view's timer; it composes the parts with jobs of their own: the input routing
// (SceneInput), the 2D overlays and selection text (SceneOverlays) and the full-resolution image panel
// (SceneImagePanel).
class BrainSceneRenderer : public GLInteractiveRenderer,
                           public BrainExpressionModelListener,
                           public TimerListener,
                           public UserPreferencesListener,
                           public ToolOwner,
                           private SceneInputHost {
  public:
    static constexpr int kAnimationIntervalMs = 40;
    static constexpr int kSelectBufferSize = 1024;

    // Everything given must outlive the renderer. Section planes need the atlas's full-scale volumes: loaded
    // already, or announced with fullScaleLoaded() once a loader has read them.
    BrainSceneRenderer(GLDisplay& display, BrainExpressionModel& model, TabControlRenderer& tabs,
                       ReferenceAtlas& atlas, UserPreferences& preferences);
    ~BrainSceneRenderer() override;
    BrainSceneRenderer(const BrainSceneRenderer&) = delete;
    BrainSceneRenderer& operator=(const BrainSceneRenderer&) = delete;

    // GLRenderer
    void initialize() override;
    void draw() override;
    void resize(int width, int height) override;
    void setActive(bool active) override;

    // Mouse and keys, as the view delivers them (y downwards).
    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseMove(int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseDoubleClick(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseWheel(int x, int y, int modifiers, int delta, std::uint32_t time) override;
    // The view lost the mouse mid-drag: the drag ends where it is, and the next press starts afresh.
    void mouseCaptureLost() override;
    bool keyChar(char32_t character, int modifiers, std::uint32_t time) override;
    bool keySpecial(int code, int modifiers, std::uint32_t time) override;

    void modelChanged(ModelEvent event, BrainExpressionModel& model, std::int32_t argument) override;
    void timerTick() override;
    void preferencesChanged(int code) override;

    // ToolOwner
    void spin(bool on) override;
    void pan(int dx, int dy) override;
    BrainExpressionModel& model() override { return model_; }

    // Marks every gene's display lists for rebuilding and asks for a redraw.
    void rebuildExpression();

    // The full-scale volumes are loaded now (on the interface thread, after the loading thread ended):
    // section planes and the plane tool can use them.
    void fullScaleLoaded();

    virtual void goToBookmark(const Bookmark& bookmark, bool immediate);
    virtual void centerOn(const std::array<float, 3>& point);
    // The picked name under the window point (y downwards), resolved into a selection or a tool.
    virtual void pick(int x, int y, bool center);
    // The name under the window point without acting on it; 0 for nothing.
    int pickName(int x, int y);
    // Gives the scene its full-resolution image panel; without one, images are never shown.
    void enableSectionImages(SceneImageServices services);
    // The atlas plate at the selected cell or the section planes, in the image panel.
    virtual void showAtlasImageAtPoint();
    // Hides the image panel and redraws.
    void hideImage();
    bool imageShown() const { return imagePanel_ && imagePanel_->isShown(); }
    bool canOpenImage() const { return imagePanel_ && imagePanel_->canOpenPage(); }
    SceneImagePanel* imagePanel() override { return imagePanel_.get(); }

    bool isSpinning() const { return spinning_; }
    bool isAnimating() const { return navigator_.running(); }
    bool frameRateShown() const { return overlays_.frameRateShown(); }
    const std::string& selectionText() const { return overlays_.selectionText(); }
    const Trackball& trackball() const { return trackball_; }
    const SceneCamera& camera() const { return camera_; }

  private:
    // SceneInputHost
    void stopAnimation() override;
    void stopSpinning() override { spin(false); }
    ExpressionThresholdControl* currentThresholdControl() override;
    MouseListener* pickForPress(int x, int y, bool centre) override;
    void applyModelView() override;

    void applyProjection();
    // The section planes, once the context is current and the fine volumes are there.
    void makeSections();
    void setClipping(bool on);
    void drawExpression(int nameBase);
    void drawCornerCompass();
    void drawBregmaCompass();
    void drawCompassBars(bool cornerCones);
    void drawOverlays();
    void updateSelectionInfo();
    void syncOrientation();
    void addGene(int index);
    void removeGene(int index);

    GLDisplay& display_;
    BrainExpressionModel& model_;
    TabControlRenderer& tabs_;
    ReferenceAtlas& atlas_;
    UserPreferences& preferences_;
    std::array<int, 3> dims_;
    SceneCamera camera_;
    LevelColourTables tables_;
    std::unique_ptr<BrainMeshSet> meshes_;
    std::vector<std::unique_ptr<ExpressionRenderer>> expression_;
    std::vector<std::unique_ptr<ExpressionThresholdControl>> thresholdControls_;
    // Made in initialize(): its textures need the context.
    std::unique_ptr<MPRRenderer> sections_;
    std::unique_ptr<CuttingPlaneRenderer> clipBox_;
    SceneOverlays overlays_;
    PanMouseTool panTool_;
    MovePlaneMouseTool planeTool_;
    Trackball trackball_;
    SceneInput input_;
    std::unique_ptr<SceneImagePanel> imagePanel_;
    bool spinning_ = false;
    BookmarkNavigator navigator_;
    ExpressionThresholdControl* cachedControl_ = nullptr;
    bool controlCacheStale_ = true;
    int width_ = 1, height_ = 1;
    bool fullScale_ = false;
};

} // namespace volumira
