#pragma once

#include "images/TiledImage.h"
#include "net/ServerUrls.h"
#include "render/ImageControlBar.h"

#include <functional>
#include <memory>
#include <string>

namespace volumira {

class BrainExpressionModel;
class GeneExpression;
class GLDisplay;
class ReferenceAtlas;
class TileCache;
class UserPreferences;
struct ExpressionCell;

// What the scene's image panel needs from the application: one tile cache per image layer, a way to open
// web pages, and a way to show an error box.
struct SceneImageServices {
    TileCache& layer0Cache;
    TileCache& layer1Cache;
    std::function<void(const std::string&)> openPage;
    std::function<void(const std::string&)> reportError;
};

// The full-resolution image in the corner of the scene: the tiled image (made on first use) showing the
// selected cell's section image or the atlas plate at a point, and the control bar over it that hides it,
// chooses the image mode and opens the image's page. UI thread only.
class SceneImagePanel : public ImageControlOwner {
  public:
    static constexpr int kPanelSize = 256;
    static constexpr int kBarHeight = 20;
    static constexpr float kPlateResolution = 1.9f;
    static constexpr const char* kUnexpectedAtlasError =
        "There was an unexpected error while trying to read reference atlas coordinate information. This "
        "application may be damaged.";

    // Everything given must outlive the panel.
    SceneImagePanel(GLDisplay& display, BrainExpressionModel& model, ReferenceAtlas& atlas,
                    const UserPreferences& preferences, SceneImageServices services);
    ~SceneImagePanel() override;
    SceneImagePanel(const SceneImagePanel&) = delete;
    SceneImagePanel& operator=(const SceneImagePanel&) = delete;

    // The cell's section image with the expression image over it; hidden when the gene has no image of
    // that section.
    void showSectionImage(const GeneExpression& gene, const ExpressionCell& cell);
    // The coronal (image mode 0) or sagittal plate through the selected cell or, without one, through the
    // three section planes; the placeholder where no plate lies. Errors go to the error box.
    void showAtlasImageAtPoint();
    void hide();
    bool isShown() const { return image_ && image_->isShown(); }
    bool canOpenPage() const { return image_ && image_->canOpenPage(); }
    TiledImage* image() { return image_.get(); }

    // The image and its bar, in overlay coordinates.
    void draw();
    // Offers a press (window coordinates, y down) to the bar, then to the image; the listener that took it,
    // which then receives the rest of the drag in window coordinates, or null.
    MouseListener* takePress(int button, int x, int y, int modifiers, std::uint32_t time);
    bool doubleClick(int button, int x, int y, int modifiers, std::uint32_t time);

    // ImageControlOwner
    BrainExpressionModel& model() override { return model_; }
    bool canOpenImage() override { return canOpenPage(); }
    void hideImage() override;
    void openImage() override;
    int displayHeight() override;

  private:
    // The image takes positions with y up; this passes window positions on, flipped.
    class FlippedInput : public MouseListener {
      public:
        explicit FlippedInput(SceneImagePanel& panel) : panel_(panel) {}
        bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) override;
        bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) override;
        bool mouseMove(int x, int y, int modifiers, std::uint32_t time) override;

      private:
        SceneImagePanel& panel_;
    };

    TiledImage& ensureImage();
    void showOrReport(const std::function<void()>& show);

    GLDisplay& display_;
    BrainExpressionModel& model_;
    ReferenceAtlas& atlas_;
    ServerUrls urls_;
    SceneImageServices services_;
    ImageControlBar bar_;
    FlippedInput flipped_{*this};
    std::unique_ptr<TiledImage> image_;
};

} // namespace volumira
