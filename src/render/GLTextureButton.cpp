#include "render/GLTextureButton.h"

#include "render/GL.h"
#include "render/GLDisplay.h"
#include "render/GLTextBox.h"
#include "render/Shapes.h"

namespace volumira {

GLTextureButton::GLTextureButton(int x, int y, int width, int height) {
    reset(x, y, width, height);
}

GLTextureButton::GLTextureButton(GLDisplay& display, const std::string& text, int x, int y) : x_(x), y_(y) {
    text_ = display.createTextBox(15 * static_cast<int>(text.size()), 1, false, GLDisplay::kAlignLeft);
    text_->setText(text);
}

GLTextureButton::~GLTextureButton() = default;

void GLTextureButton::reset(int x, int y, int width, int height) {
    text_.reset();
    image_ = std::make_unique<TextureImage>();
    image_->create(width, height, TextureImage::kFormatBgra);
    x_ = x;
    y_ = y;
}

TextureImage& GLTextureButton::image() {
    text_.reset();
    if (!image_) image_ = std::make_unique<TextureImage>();
    return *image_;
}

int GLTextureButton::width() const {
    if (text_) return text_->textWidth() + 12;
    return image_ ? image_->width() : 0;
}

int GLTextureButton::height() const {
    if (text_) return text_->height() + 6;
    return image_ ? image_->height() : 0;
}

void GLTextureButton::draw(bool pressed, int x, int y) {
    if (text_) {
        const float grey = pressed ? 0.5f : 0.25f;
        glColor3f(grey, grey, grey);
        RectangleShape::fill(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + text_->textWidth() + 12),
             static_cast<float>(y + text_->height() + 6));
        text_->draw(x + 6, y + 3);
        return;
    }
    if (!image_) return;
    image_->drawAt(x, y);
    const float x0 = static_cast<float>(x - 1), y0 = static_cast<float>(y - 1);
    const float x1 = static_cast<float>(x + image_->width() + 1),
                y1 = static_cast<float>(y + image_->height() + 1);
    if (!enabled_) {
        glColor4f(0.0f, 0.0f, 0.0f, 0.75f);
        RectangleShape::fill(x0, y0, x1, y1);
    }
    if (pressed) {
        glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
        glEnable(GL_COLOR_LOGIC_OP);
        glLogicOp(GL_INVERT);
        glColor4f(0.0f, 0.0f, 0.0f, 0.75f);
        RectangleShape::fill(x0, y0, x1, y1);
        glPopAttrib();
    }
}

void GLTextureButton::drawFramed(bool pressed, bool highlighted, int x, int y) {
    draw(false, x, y);
    const float x0 = static_cast<float>(x), y0 = static_cast<float>(y);
    const float x1 = static_cast<float>(x + width()), y1 = static_cast<float>(y + height());
    if (pressed) {
        glColor4f(0.25f, 0.25f, 0.25f, 0.5f);
        RectangleShape::fill(x0, y0, x1, y1);
    }
    if (highlighted) {
        glColor4f(0.15f, 0.15f, 0.75f, 0.5f);
        RectangleShape::fill(x0, y0, x1, y1);
    }
    glColor3f(0.25f, 0.25f, 0.25f);
    glBegin(GL_LINE_LOOP);
    glVertex2f(x0 - 1, y0 - 1);
    glVertex2f(x1 + 1, y0 - 1);
    glVertex2f(x1 + 1, y1 + 1);
    glVertex2f(x0 - 1, y1 + 1);
    glEnd();
}

bool GLTextureButton::hitTest(int px, int py, int x, int y) const {
    if (text_)
        return px >= x && px <= x + text_->textWidth() + 12 && py >= y - 1 && py <= y + text_->height() + 6;
    if (!image_) return false;
    return px >= x && px <= x + image_->width() + 2 && py >= y - 1 && py <= y + image_->height();
}

} // namespace volumira
