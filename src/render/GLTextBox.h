#pragma once

#include <string>

namespace volumira {

// A box of text rendered into a texture and drawn in overlay coordinates (origin bottom-left, y upwards,
// one unit per pixel). Made by GLDisplay::createTextBox, which picks the platform's text rendering.
class GLTextBox {
  public:
    virtual ~GLTextBox() = default;
    // UTF-8 text; measured and rendered at once.
    virtual void setText(const std::string& text) = 0;
    // Draws the box with its lower-left corner at (x, y); an empty text draws nothing.
    virtual void draw(int x, int y) = 0;
    // Whether a dark translucent rectangle is drawn behind the text.
    virtual void setBackground(bool on) = 0;
    // Height of one line of the font.
    virtual int lineHeight() const = 0;
    // Width of the text last measured by setText.
    virtual int textWidth() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
};

} // namespace volumira
