#include "render/TextureImage.h"

#include "render/GL.h"
#include "render/GLError.h"

#include <algorithm>
#include <stdexcept>

namespace volumira {

TextureImage::~TextureImage() {
    release();
}

int TextureImage::storageSize(int n) {
    if (n <= 1) return 1;
    int size = 1;
    while (size < n)
        size *= 2;
    return size;
}

void TextureImage::allocateTexture() {
    texture_ = GLTexture::generate();
    checkGLError("GenTextures");
    if (!texture_) throw std::runtime_error("Could not create an OpenGL texture.");
    glBindTexture(GL_TEXTURE_2D, texture_.id());
    checkGLError("BindTexture");
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, storageWidth_, storageHeight_, 0, format_, GL_UNSIGNED_BYTE, nullptr);
    checkGLError("TexImage2D");
    glBindTexture(GL_TEXTURE_2D, 0);
}

void TextureImage::create(int width, int height, unsigned int format) {
    release();
    if (width <= 0 || height <= 0)
        throw std::invalid_argument("Texture image size must be positive: " + std::to_string(width) + " x " +
                                    std::to_string(height));
    try {
        format_ = format;
        width_ = width;
        height_ = height;
        storageWidth_ = storageSize(width);
        storageHeight_ = storageSize(height);
        allocateTexture();
        pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
    } catch (...) {
        release();
        throw;
    }
}

void TextureImage::release() {
    texture_.reset();
    width_ = height_ = storageWidth_ = storageHeight_ = 0;
    std::vector<std::uint8_t>().swap(pixels_);
}

void TextureImage::fill(std::uint8_t value) {
    std::fill(pixels_.begin(), pixels_.end(), value);
}

void TextureImage::upload() {
    if (pixels_.empty()) return;
    if (!texture_) allocateTexture();
    const auto replace = [this] {
        glBindTexture(GL_TEXTURE_2D, texture_.id());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width_, height_, format_, GL_UNSIGNED_BYTE, pixels_.data());
        return checkGLError("TexSubImage2D");
    };
    // A texture that lost its storage (e.g. after a context change) refuses the copy: make it anew.
    if (replace() == GL_INVALID_OPERATION) {
        glBindTexture(GL_TEXTURE_2D, 0);
        texture_.reset();
        allocateTexture();
        replace();
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

void TextureImage::draw(const PixelRect& source, const PixelRect& destination) {
    if (!texture_) upload();
    if (!texture_) return;
    const bool wasEnabled = glIsEnabled(GL_TEXTURE_2D);
    if (!wasEnabled) {
        glEnable(GL_TEXTURE_2D);
        checkGLError("Enable");
    }
    glBindTexture(GL_TEXTURE_2D, texture_.id());
    glColor4f(1, 1, 1, 1);
    const float sw = static_cast<float>(storageWidth_), sh = static_cast<float>(storageHeight_);
    const float s0 = source.x / sw, s1 = (source.x + source.width) / sw;
    // The source's first row (smallest y) is shown at the top of the destination.
    const float t0 = source.y / sh, t1 = (source.y + source.height) / sh;
    const float x0 = static_cast<float>(destination.x),
                x1 = static_cast<float>(destination.x + destination.width);
    const float y0 = static_cast<float>(destination.y),
                y1 = static_cast<float>(destination.y + destination.height);
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t1);
    glVertex2f(x0, y0);
    glTexCoord2f(s1, t1);
    glVertex2f(x1, y0);
    glTexCoord2f(s1, t0);
    glVertex2f(x1, y1);
    glTexCoord2f(s0, t0);
    glVertex2f(x0, y1);
    glEnd();
    checkGLError("End");
    glBindTexture(GL_TEXTURE_2D, 0);
    if (!wasEnabled) glDisable(GL_TEXTURE_2D);
}

void TextureImage::drawAt(int x, int y) {
    draw({0, 0, width_, height_}, {x, y, width_, height_});
}

} // namespace volumira
