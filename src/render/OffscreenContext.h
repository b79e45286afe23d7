#pragma once

#include "render/GLContext.h"
#include "render/GLHandles.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace volumira {

// A compatibility-profile GL context without a window, drawing into a framebuffer object with colour
// (RGBA 8 bits) and depth (24 bits) attachments, for headless rendering and tests. It needs no display
// server: EGL with Mesa's surfaceless platform. Construction throws std::runtime_error with the reason
// when no such context can be made. The GL objects made in it are freed in it when it goes.
class OffscreenContext : public GLContext {
  public:
    OffscreenContext(int width, int height);
    ~OffscreenContext() override;
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    // Makes the context current with its framebuffer bound; false on failure.
    bool makeCurrent() override;
    bool isCurrent() const override;
    GLContextObjects& objects() { return objects_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The GL_RENDERER text, e.g. for skipping messages.
    std::string renderer() const;
    // The framebuffer as RGBA bytes, rows bottom first (GL order).
    std::vector<std::uint8_t> readPixels();

  protected:
    ContextRestorer currentContextRestorer() override;

  private:
    struct State;
    std::unique_ptr<State> state_;
    int width_, height_;
    // After the state, so that it goes first: the framebuffer's handles are emptied with the context.
    GLContextObjects objects_{*this};
};

} // namespace volumira
