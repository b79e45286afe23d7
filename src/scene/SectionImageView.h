#pragma once

#include "render/MouseListener.h"

#include <string>

namespace volumira {

// The full-resolution section image shown over the scene. The tiled image viewer implements it; until
// a view has one, the scene shows no image.
class SectionImageView : public MouseListener {
  public:
    // Shows the image at path (the server's image path) centred on the pixel, at the zoom.
    virtual void show(const std::string& path, int imageId, int pixelX, int pixelY, float zoom) = 0;
    // Shows the placeholder that says no image exists here.
    virtual void showPlaceholder() = 0;
    virtual void hide() = 0;
    virtual bool isShown() const = 0;
    virtual void setAlpha(float alpha) = 0;
    virtual void draw(int width, int height) = 0;
};

} // namespace volumira
