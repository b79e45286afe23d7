#include "render/SceneCamera.h"

#include "render/GL.h"

namespace volumira {

void SceneCamera::setViewport(int width, int height) {
    width_ = width;
    height_ = height;
}

SceneCamera::Ortho SceneCamera::ortho() const {
    const float half = static_cast<float>(dimensions_[0] / 2);
    // A zero-width window would give an infinite aspect; it shows nothing anyway.
    const float aspect = width_ > 0 ? static_cast<float>(height_) / static_cast<float>(width_) : 1.0f;
    return {-half, half, -half * aspect, half * aspect, -10.0f * half, 10.0f * half};
}

void SceneCamera::applyProjection() const {
    glViewport(0, 0, width_, height_);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const Ortho o = ortho();
    glOrtho(o.left, o.right, o.bottom, o.top, o.nearPlane, o.farPlane);
    glMatrixMode(GL_MODELVIEW);
}

float SceneCamera::zoomScale(float zoom) {
    return zoom * 2.0f / 100.0f;
}

namespace {

Matrix4 scaling(float x, float y, float z) {
    return {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1};
}

Matrix4 translation(float x, float y, float z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

} // namespace

Matrix4 SceneCamera::modelView(const Matrix4& rotation, float zoom, const std::array<float, 3>& pan) const {
    const float s = zoomScale(zoom);
    Matrix4 m = multiplyMatrices(rotation, scaling(s, s, s));
    m = multiplyMatrices(m, translation(pan[0], pan[1], pan[2]));
    m = multiplyMatrices(m, scaling(1, -1, -1));
    return multiplyMatrices(
        m, translation(-dimensions_[0] / 2.0f, -dimensions_[1] / 2.0f, -dimensions_[2] / 2.0f));
}

void SceneCamera::applyModelView(const Matrix4& rotation, float zoom, const std::array<float, 3>& pan) const {
    glMultMatrixf(rotation.data());
    const float s = zoomScale(zoom);
    glScalef(s, s, s);
    glTranslatef(pan[0], pan[1], pan[2]);
    glScalef(1, -1, -1);
    glTranslatef(-dimensions_[0] / 2.0f, -dimensions_[1] / 2.0f, -dimensions_[2] / 2.0f);
}

std::array<float, 3> SceneCamera::panBy(const std::array<float, 3>& pan, const Matrix4& g, float zoom, int dx,
                                        int dy) const {
    const float pixelsPerUnit =
        (static_cast<float>(width_) / static_cast<float>(dimensions_[0])) * zoomScale(zoom);
    if (!(pixelsPerUnit > 0.0f)) return pan; // no window yet
    const float u = static_cast<float>(dx) / pixelsPerUnit, v = static_cast<float>(dy) / pixelsPerUnit;
    return {pan[0] + u * g[0] + v * g[1], pan[1] + u * g[4] + v * g[5], pan[2] + u * g[8] + v * g[9]};
}

std::array<float, 3> SceneCamera::centreOn(const std::array<float, 3>& p) const {
    return {-(p[0] - dimensions_[0] / 2.0f), p[1] - dimensions_[1] / 2.0f, p[2] - dimensions_[2] / 2.0f};
}

} // namespace volumira
