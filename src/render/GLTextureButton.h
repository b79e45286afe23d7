#pragma once

#include "render/TextureImage.h"

#include <memory>
#include <string>

namespace volumira {

class GLDisplay;
class GLTextBox;

// A push button drawn in overlay coordinates: either an image (a texture) or a one-line text on a grey
// plate. It only draws and hit-tests; its owner tracks presses.
class GLTextureButton {
  public:
    GLTextureButton() = default;
    // An image button with an empty image of that size at that position; needs a current context.
    GLTextureButton(int x, int y, int width, int height);
    // A text button (text box 15 pixels per character, default font).
    GLTextureButton(GLDisplay& display, const std::string& text, int x = 0, int y = 0);
    virtual ~GLTextureButton();
    GLTextureButton(const GLTextureButton&) = delete;
    GLTextureButton& operator=(const GLTextureButton&) = delete;

    // A new empty image of that size at that position.
    virtual void reset(int x, int y, int width, int height);
    virtual void draw(bool pressed, int x, int y);
    virtual void draw(bool pressed) { draw(pressed, x_, y_); }
    virtual void drawFramed(bool pressed, bool highlighted, int x, int y);
    virtual bool hitTest(int px, int py, int x, int y) const;
    virtual bool hitTest(int px, int py) const { return hitTest(px, py, x_, y_); }
    virtual int width() const;
    virtual int height() const;
    virtual int bottomEdge() const { return y_ + 3; }
    virtual void setPosition(int x, int y) {
        x_ = x;
        y_ = y;
    }
    virtual void setEnabled(bool on) { enabled_ = on; }
    virtual bool enabled() const { return enabled_; }
    // The image, created empty when absent; a text button becomes an image button.
    virtual TextureImage& image();

    bool isTextButton() const { return text_ != nullptr; }

  private:
    std::unique_ptr<GLTextBox> text_;
    std::unique_ptr<TextureImage> image_;
    int x_ = 0, y_ = 0;
    bool enabled_ = true;
};

} // namespace volumira
