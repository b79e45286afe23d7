#pragma once

#include "render/MatrixMath.h"
#include "render/MouseListener.h"

#include <array>
#include <cstdint>

namespace volumira {

class ToolOwner;

// Quaternion as (x, y, z, w).
using Quaternion = std::array<float, 4>;

// Quaternion arithmetic of the virtual trackball, kept free so that it can be checked on its own.
namespace trackball {

constexpr float kSize = 0.4f;
// Compositions between two renormalisations, counted across every trackball of the process.
constexpr int kRenormCount = 97;

// Rotation by angle (radians) about axis; the axis is normalised first.
Quaternion axisAngle(const std::array<float, 3>& axis, float angle);
// The rotation a applied after b. Counts one composition; every 98th result is divided by the sum of
// the squares of its components.
Quaternion compose(const Quaternion& a, const Quaternion& b);
// Height of (x, y) on the ball of radius r, or on the hyperbolic sheet outside it.
float projectToSphere(float r, float x, float y);
// Rotation that takes p1 to p2 (both in -1..1 viewport units, y upwards).
Quaternion rotationBetween(float p1x, float p1y, float p2x, float p2y);
Matrix4 rotationMatrix(const Quaternion& q);
// The shared composition counter, for inspection.
int compositionCount();
void resetCompositionCount();

} // namespace trackball

// Rotates the scene by dragging: the pointer drags a virtual ball, and a quick release leaves it spinning.
class Trackball : public MouseListener {
  public:
    Trackball();
    void setOwner(ToolOwner* owner) { owner_ = owner; }
    void setViewportSize(unsigned width, unsigned height);
    // Both the orientation and the spin become r.
    void setOrientation(const Quaternion& r);
    // angle in radians. animate: the spin becomes twice the rotation, one step is taken and the owner
    // starts spinning; otherwise the orientation turns once.
    void rotate(const std::array<float, 3>& axis, float angle, bool animate);
    // The orientation turns by the spin once; the model receives it without a notification.
    void step();
    const Matrix4& matrix() const { return matrix_; }
    const Quaternion& orientation() const { return orientation_; }
    const Quaternion& spinRotation() const { return spin_; }

    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseMove(int x, int y, int modifiers, std::uint32_t time) override;
    // Stops dragging without a spin.
    void mouseCaptureLost() override { dragging_ = false; }

    // Releasing sooner than this after a motion that turned the ball keeps the view spinning.
    static constexpr std::uint32_t kSpinReleaseMs = 25;

  private:
    void storeOrientation();
    ToolOwner* owner_ = nullptr;
    Quaternion orientation_{0, 0, 0, 1};
    Quaternion spin_{0, 0, 0, 1};
    Matrix4 matrix_{};
    int lastX_ = 0, lastY_ = 0;
    bool dragging_ = false;
    bool turned_ = false; // the drag's last motion turned the ball
    unsigned viewportWidth_ = 1, viewportHeight_ = 1;
    std::uint32_t lastTime_ = 0;
};

} // namespace volumira
