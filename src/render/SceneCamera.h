#pragma once

#include "render/MatrixMath.h"

#include <array>

namespace volumira {

// The orthographic camera of the 3D scene over a grid of dimX x dimY x dimZ scene units: the projection
// from the viewport size, and the model-view from the trackball matrix, the zoom percentage and the pan
// vector kept by the model.
class SceneCamera {
  public:
    struct Ortho {
        float left, right, bottom, top, nearPlane, farPlane;
    };

    explicit SceneCamera(const std::array<int, 3>& dimensions) : dimensions_(dimensions) {}

    void setViewport(int width, int height);
    int viewportWidth() const { return width_; }
    int viewportHeight() const { return height_; }

    // half = dimX / 2 (integer), aspect = height / width; near and far at -+10 half.
    Ortho ortho() const;
    // Sets the viewport and loads the projection into the current GL projection matrix.
    void applyProjection() const;

    // The uniform scale of a zoom percentage: zoom x 2 / 100.
    static float zoomScale(float zoom);
    // Trackball matrix, then the zoom scale, the pan, the y/z flip and the move of the volume centre to
    // the origin, in that order.
    Matrix4 modelView(const Matrix4& rotation, float zoom, const std::array<float, 3>& pan) const;
    // Multiplies the current GL matrix by modelView(...).
    void applyModelView(const Matrix4& rotation, float zoom, const std::array<float, 3>& pan) const;

    // The pan vector after moving the picture by (dx, dy) pixels (y upwards) along the screen axes.
    std::array<float, 3> panBy(const std::array<float, 3>& pan, const Matrix4& rotation, float zoom, int dx,
                               int dy) const;
    // The pan vector that brings the point p (volume coordinates) to the centre.
    std::array<float, 3> centreOn(const std::array<float, 3>& p) const;

  private:
    std::array<int, 3> dimensions_;
    int width_ = 1, height_ = 1;
};

} // namespace volumira
