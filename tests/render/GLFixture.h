#pragma once

// An offscreen GL context with a pixel-unit overlay projection, for pixel tests of the drawing code.

#include "render/GL.h"
#include "render/OffscreenContext.h"

#include <array>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace volumira::test {

using Rgb = std::array<int, 3>;

class GLFixture : public ::testing::Test {
  protected:
    static constexpr int kSize = 200;

    void SetUp() override {
        context_ = std::make_unique<OffscreenContext>(kSize, kSize);
        ASSERT_TRUE(context_->makeCurrent());
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    // Scene units: (0, 0) to (40, 40) fill the framebuffer, five pixels per unit.
    static void sceneProjection() {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 40, 0, 40, -200, 200);
        glMatrixMode(GL_MODELVIEW);
    }
    // Overlay coordinates: one unit per pixel, origin at the bottom left.
    static void overlayProjection() {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kSize, 0, kSize, -1, 1);
        glMatrixMode(GL_MODELVIEW);
    }
    static void clear() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

    // The pixel at (x, y), y upwards.
    Rgb pixel(int x, int y) {
        const std::vector<std::uint8_t> frame = context_->readPixels();
        const std::uint8_t* p = &frame[(static_cast<std::size_t>(y) * kSize + x) * 4];
        return {p[0], p[1], p[2]};
    }

    static bool near(const Rgb& a, const Rgb& b, int tolerance = 3) {
        for (int c = 0; c < 3; ++c)
            if (std::abs(a[c] - b[c]) > tolerance) return false;
        return true;
    }

    std::unique_ptr<OffscreenContext> context_;
};

} // namespace volumira::test
