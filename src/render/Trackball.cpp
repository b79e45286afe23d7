#include "render/Trackball.h"

#include "expression/BrainExpressionModel.h"
#include "render/ToolOwner.h"

#include <algorithm>
#include <cmath>

namespace volumira {

namespace trackball {

namespace {
int compositions = 0;

std::array<float, 3> cross(const std::array<float, 3>& a, const std::array<float, 3>& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
} // namespace

int compositionCount() {
    return compositions;
}
void resetCompositionCount() {
    compositions = 0;
}

Quaternion axisAngle(const std::array<float, 3>& axis, float angle) {
    const float length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    const float s = std::sin(angle / 2.0f);
    return {axis[0] / length * s, axis[1] / length * s, axis[2] / length * s, std::cos(angle / 2.0f)};
}

Quaternion compose(const Quaternion& a, const Quaternion& b) {
    const std::array<float, 3> av{a[0], a[1], a[2]}, bv{b[0], b[1], b[2]};
    const std::array<float, 3> c = cross(bv, av);
    Quaternion result{};
    for (int i = 0; i < 3; ++i)
        result[i] = av[i] * b[3] + bv[i] * a[3] + c[i];
    result[3] = a[3] * b[3] - (av[0] * bv[0] + av[1] * bv[1] + av[2] * bv[2]);
    if (++compositions > kRenormCount) {
        compositions = 0;
        // Dividing by the squared length rather than the length is how the drift has always been
        // corrected; it is exact enough because the length stays close to 1.
        const float squared =
            result[0] * result[0] + result[1] * result[1] + result[2] * result[2] + result[3] * result[3];
        for (float& value : result)
            value /= squared;
    }
    return result;
}

float projectToSphere(float r, float x, float y) {
    const float d = std::sqrt(x * x + y * y);
    if (d < r * 0.70710678f) return std::sqrt(r * r - d * d);
    const float t = r / 1.41421356f;
    return t * t / d;
}

Quaternion rotationBetween(float p1x, float p1y, float p2x, float p2y) {
    if (p1x == p2x && p1y == p2y) return {0, 0, 0, 1};
    const std::array<float, 3> p1{p1x, p1y, projectToSphere(kSize, p1x, p1y)};
    const std::array<float, 3> p2{p2x, p2y, projectToSphere(kSize, p2x, p2y)};
    const std::array<float, 3> axis = cross(p2, p1);
    const std::array<float, 3> d{p1[0] - p2[0], p1[1] - p2[1], p1[2] - p2[2]};
    float t = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) / (2.0f * kSize);
    t = std::clamp(t, -1.0f, 1.0f);
    return axisAngle(axis, 2.0f * std::asin(t));
}

Matrix4 rotationMatrix(const Quaternion& q) {
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    return {1.0f - 2.0f * (y * y + z * z),
            2.0f * (x * y - z * w),
            2.0f * (z * x + y * w),
            0.0f,
            2.0f * (x * y + z * w),
            1.0f - 2.0f * (z * z + x * x),
            2.0f * (y * z - x * w),
            0.0f,
            2.0f * (z * x - y * w),
            2.0f * (y * z + x * w),
            1.0f - 2.0f * (y * y + x * x),
            0.0f,
            0.0f,
            0.0f,
            0.0f,
            1.0f};
}

} // namespace trackball

Trackball::Trackball() {
    matrix_ = trackball::rotationMatrix(orientation_);
}

void Trackball::setViewportSize(unsigned width, unsigned height) {
    viewportWidth_ = width;
    viewportHeight_ = height;
}

void Trackball::setOrientation(const Quaternion& r) {
    orientation_ = spin_ = r;
    matrix_ = trackball::rotationMatrix(orientation_);
}

void Trackball::storeOrientation() {
    matrix_ = trackball::rotationMatrix(orientation_);
    if (owner_) owner_->model().setRotation(orientation_, false);
}

void Trackball::step() {
    orientation_ = trackball::compose(spin_, orientation_);
    storeOrientation();
}

void Trackball::rotate(const std::array<float, 3>& axis, float angle, bool animate) {
    if (animate) {
        spin_ = trackball::axisAngle(axis, 2.0f * angle);
        step();
        if (owner_) owner_->spin(true);
        return;
    }
    orientation_ = trackball::compose(trackball::axisAngle(axis, angle), orientation_);
    storeOrientation();
}

bool Trackball::mouseDown(int, int x, int y, int, std::uint32_t time) {
    lastX_ = x;
    lastY_ = y;
    lastTime_ = time;
    dragging_ = true;
    turned_ = false;
    return true;
}

bool Trackball::mouseMove(int x, int y, int, std::uint32_t time) {
    if (!dragging_) return true;
    const float w = static_cast<float>(viewportWidth_), h = static_cast<float>(viewportHeight_);
    spin_ = trackball::rotationBetween((2.0f * lastX_ - w) / w, (h - 2.0f * lastY_) / h, (2.0f * x - w) / w,
                                       (h - 2.0f * y) / h);
    turned_ = spin_ != Quaternion{0, 0, 0, 1};
    lastX_ = x;
    lastY_ = y;
    lastTime_ = time;
    step();
    return true;
}

bool Trackball::mouseUp(int, int, int, int, std::uint32_t time) {
    dragging_ = false;
    // Only a drag that was still turning spins on: a quick click or a touchpad tap, whose release comes
    // within a few milliseconds of its press, would otherwise restart the last spin.
    if (owner_) owner_->spin(turned_ && static_cast<std::uint32_t>(time - lastTime_) < kSpinReleaseMs);
    return true;
}

} // namespace volumira
