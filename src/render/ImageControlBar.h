#pragma once

#include "render/MouseListener.h"
#include "render/TextureImage.h"

#include <array>

namespace volumira {

class BrainExpressionModel;

// What the image control bar asks of the scene that shows the full-resolution image.
class ImageControlOwner {
  public:
    virtual ~ImageControlOwner() = default;
    virtual BrainExpressionModel& model() = 0;
    // Whether the image shown can be opened in the browser.
    virtual bool canOpenImage() = 0;
    virtual void hideImage() = 0;
    virtual void openImage() = 0;
    // The height of the display, for turning window y into overlay y.
    virtual int displayHeight() = 0;
};

// The bar over the full-resolution section image: a hide icon, three segments choosing the model's
// image mode (coronal plate, sagittal plate, the selected cell's section image) and an open icon.
// Mouse positions arrive in window coordinates (y downwards).
class ImageControlBar : public MouseListener {
  public:
    ImageControlBar() = default;

    virtual void setup(ImageControlOwner* owner, int x, int y, int width, int height);
    // Draws in overlay coordinates; needs the context current.
    virtual void draw();
    virtual int segmentWidth() const;
    // The model has a selected cell whose gene has an image of the cell's section.
    virtual bool thirdSegmentAvailable() const;

    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseMove(int x, int y, int modifiers, std::uint32_t time) override;

    // Where presses land, in overlay coordinates.
    enum class Part { kNone, kHide, kSegment, kOpen };
    Part partAt(int x, int overlayY, int& segment) const;
    int segmentsStart() const;
    int pressedSegment() const { return pressedSegment_; }

  private:
    bool inBar(int x, int overlayY) const;
    int openIconLeft() const;
    void ensureIcons();

    ImageControlOwner* owner_ = nullptr;
    int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
    std::array<TextureImage, 3> segmentIcons_;
    TextureImage hideIcon_, hideIconHover_, openIcon_, openIconHover_;
    bool iconsLoaded_ = false;
    int pressedSegment_ = -1;
    bool hidePressed_ = false, openPressed_ = false;
    // Whether the pointer is still over the pressed element.
    bool onPressed_ = false;
};

} // namespace volumira
