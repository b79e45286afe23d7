#include "render/CuttingPlaneRenderer.h"

#include "expression/BrainExpressionModel.h"
#include "render/GL.h"

namespace volumira {

CuttingPlaneRenderer::CuttingPlaneRenderer(const BrainExpressionModel& model,
                                           const std::array<int, 3>& dimensions)
    : model_(model), dimensions_(dimensions) {}

void CuttingPlaneRenderer::drawFace(int axis, bool low, bool pick, int name) {
    const int u = axis == 0 ? 1 : 0, v = axis == 2 ? 1 : 2;
    const float position = model_.clippingPlane(axis, low);
    const float u0 = model_.clippingPlane(u, true), u1 = model_.clippingPlane(u, false);
    const float v0 = model_.clippingPlane(v, true), v1 = model_.clippingPlane(v, false);
    const auto vertex = [&](float a, float b) {
        float p[3];
        p[axis] = position;
        p[u] = a;
        p[v] = b;
        glVertex3fv(p);
    };
    glLoadName(static_cast<GLuint>(name));
    if (!pick) glColor4f(0.0f, 0.5f, 0.0f, 1.0f);
    glBegin(pick ? GL_QUADS : GL_LINE_LOOP);
    vertex(u0, v0);
    vertex(u1, v0);
    vertex(u1, v1);
    vertex(u0, v1);
    glEnd();
}

void CuttingPlaneRenderer::drawClipBox(bool pick, int nameBase) {
    static constexpr std::array<int, 3> kAxisOrder{1, 0, 2};
    for (int axis : kAxisOrder) {
        drawFace(axis, true, pick, nameBase + axis);
        drawFace(axis, false, pick, nameBase + 3 + axis);
    }
}

void CuttingPlaneRenderer::setClipPlanes(bool on) {
    for (int axis = 0; axis < 3; ++axis) {
        const GLenum lowPlane = GL_CLIP_PLANE0 + 2 * axis, highPlane = lowPlane + 1;
        glDisable(lowPlane);
        glDisable(highPlane);
        if (!on) continue;
        const double low = model_.clippingPlane(axis, true), high = model_.clippingPlane(axis, false);
        if (low >= 1.0) {
            GLdouble equation[4] = {0, 0, 0, -(low + 0.1)};
            equation[axis] = 1.0;
            glClipPlane(lowPlane, equation);
            glEnable(lowPlane);
        }
        if (high < dimensions_[static_cast<std::size_t>(axis)] - 1) {
            GLdouble equation[4] = {0, 0, 0, high - 0.1};
            equation[axis] = -1.0;
            glClipPlane(highPlane, equation);
            glEnable(highPlane);
        }
    }
}

} // namespace volumira
