#pragma once

#include "render/KeyListener.h"
#include "render/MouseListener.h"

namespace volumira {

// A page of the view's picture. The host makes the GL context current before each call.
class GLRenderer {
  public:
    virtual ~GLRenderer() = default;
    // Sets the GL state the renderer needs; called every time it is installed.
    virtual void initialize() = 0;
    // Draws one frame into the back buffer; the host presents it.
    virtual void draw() = 0;
    // The drawing surface now has this size: set viewport and projection.
    virtual void resize(int width, int height) = 0;
    // The page is shown (true) or hidden (false); a hidden renderer stops its animations.
    virtual void setActive(bool active) = 0;
};

// A renderer that also takes the mouse and the keyboard while it is installed.
class GLInteractiveRenderer : public GLRenderer, public MouseListener, public KeyListener {};

} // namespace volumira
