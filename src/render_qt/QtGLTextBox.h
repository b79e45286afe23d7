#pragma once

#include "render/GLTextBox.h"
#include "render/TextureImage.h"

#include <QFont>
#include <QImage>
#include <memory>
#include <string>

namespace volumira {

// A text box rasterised by QPainter into an ARGB32 image (white text on black, so any colour byte is the
// text's coverage) and drawn as one texture. Text wraps at words, except text of as many lines as the box
// shows, whose lines are each shortened with an ellipsis so that none is pushed out. Needs a QGuiApplication
// for its fonts. setText works without a GL context; the texture is created and filled at the next draw, with
// the context current.
class QtGLTextBox : public GLTextBox {
  public:
    // width in pixels; lines (at least 1) fix the box height; smallFont picks 8-point "Arial" instead of
    // the application's default font; alignment 0 left, 1 centred, 2 right.
    QtGLTextBox(int width, int lines, bool smallFont, int alignment);

    void setText(const std::string& text) override;
    void draw(int x, int y) override;
    void setBackground(bool on) override { background_ = on; }
    int lineHeight() const override { return lineHeight_; }
    int textWidth() const override { return textWidth_; }
    int textHeight() const { return textHeight_; }
    int width() const override { return width_; }
    int height() const override { return height_; }

    // The rasterised box, rows top first, blue-green-red-alpha.
    const QImage& image() const { return image_; }
    const std::string& text() const { return text_; }

  private:
    void uploadIfStale();

    int width_, height_, alignment_;
    int lines_ = 1;
    QFont font_;
    int lineHeight_ = 0;
    QImage image_;
    TextureImage texture_;
    bool stale_ = false;
    std::string text_;
    int textWidth_ = 0, textHeight_ = 0;
    bool background_ = false;
};

std::unique_ptr<GLTextBox> createQtTextBox(int width, int lines, bool smallFont, int alignment);

} // namespace volumira
