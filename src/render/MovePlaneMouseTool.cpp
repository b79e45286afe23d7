// The framebuffer functions are called directly; must precede every GL header.
#define GL_GLEXT_PROTOTYPES 1

#include "render/MovePlaneMouseTool.h"

#include "atlas/Ontology.h"
#include "expression/BrainExpressionModel.h"
#include "io/Image3d.h"
#include "render/ExpressorStyle.h"
#include "render/GL.h"
#include "render/GLHandles.h"
#include "render/ToolOwner.h"

#include <algorithm>
#include <cmath>

namespace volumira {

namespace {

// The current viewport and the inverse of projection x model-view; false when that is singular.
bool readSceneTransform(std::array<int, 4>& viewport, Matrix4& inverse) {
    Matrix4 modelView{}, projection{};
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView.data());
    glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
    return invertMatrix(multiplyMatrices(projection, modelView), inverse);
}

// The depth buffer of the framebuffer object bound for reading, when it is a renderbuffer.
struct DepthRenderbuffer {
    GLuint name = 0;
    GLint format = 0, width = 0, height = 0, samples = 0;
};

bool readDepthRenderbuffer(DepthRenderbuffer& depth) {
    GLint type = GL_NONE, name = 0, bound = 0;
    glGetFramebufferAttachmentParameteriv(GL_READ_FRAMEBUFFER, GL_DEPTH_ATTACHMENT,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
    if (type != GL_RENDERBUFFER) return false;
    glGetFramebufferAttachmentParameteriv(GL_READ_FRAMEBUFFER, GL_DEPTH_ATTACHMENT,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
    depth.name = static_cast<GLuint>(name);
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &bound);
    glBindRenderbuffer(GL_RENDERBUFFER, depth.name);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_INTERNAL_FORMAT, &depth.format);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &depth.width);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &depth.height);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_SAMPLES, &depth.samples);
    glBindRenderbuffer(GL_RENDERBUFFER, static_cast<GLuint>(bound));
    return true;
}

// A framebuffer object with several samples per pixel cannot be read pixel by pixel (the read fails and
// leaves the value alone): the pixel's depth is resolved first into a single-sampled buffer of the same
// format and size, and read from there.
bool readResolvedDepth(const DepthRenderbuffer& source, int x, int y, float& depth) {
    if (x < 0 || y < 0 || x >= source.width || y >= source.height) return false;
    GLint read = 0, draw = 0, bound = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &bound);
    const GLRenderbuffer resolved = GLRenderbuffer::generate();
    glBindRenderbuffer(GL_RENDERBUFFER, resolved.id());
    glRenderbufferStorage(GL_RENDERBUFFER, static_cast<GLenum>(source.format), source.width, source.height);
    const GLFramebuffer target = GLFramebuffer::generate();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target.id());
    const bool withStencil = source.format == GL_DEPTH24_STENCIL8 || source.format == GL_DEPTH32F_STENCIL8 ||
                             source.format == GL_DEPTH_STENCIL;
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, withStencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                              GL_RENDERBUFFER, resolved.id());
    glDrawBuffer(GL_NONE);
    bool done = false;
    if (glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
        // A resolving copy keeps the rectangle where it is; a scissor would cut it.
        glPushAttrib(GL_SCISSOR_BIT);
        glDisable(GL_SCISSOR_TEST);
        glBlitFramebuffer(x, y, x + 1, y + 1, x, y, x + 1, y + 1, GL_DEPTH_BUFFER_BIT, GL_NEAREST);
        glPopAttrib();
        glBindFramebuffer(GL_READ_FRAMEBUFFER, target.id());
        glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        done = glGetError() == GL_NO_ERROR;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
    glBindRenderbuffer(GL_RENDERBUFFER, static_cast<GLuint>(bound));
    return done;
}

// The depth of one window pixel of the framebuffer bound for reading; false when it cannot be read.
bool readDepth(int x, int y, float& depth) {
    // An error left by an earlier call would be taken for this read's.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
    GLint read = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    DepthRenderbuffer source;
    if (read != 0 && readDepthRenderbuffer(source) && source.samples > 0)
        return readResolvedDepth(source, x, y, depth);
    glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    return glGetError() == GL_NO_ERROR;
}

} // namespace

void MovePlaneMouseTool::setAnnotation(const Image3d* annotation, const Ontology* ontology) {
    annotation_ = annotation;
    ontology_ = ontology;
}

void MovePlaneMouseTool::selectSectionPlane(int axis) {
    mode_ = Mode::SectionPlane;
    axis_ = axis;
}

void MovePlaneMouseTool::selectClipFace(int axis, bool lowSide) {
    mode_ = Mode::ClipFace;
    axis_ = axis;
    lowSide_ = lowSide;
    if (owner_) owner_->model().setAuxiliaryFlag(true);
}

float MovePlaneMouseTool::planePosition() const {
    if (!owner_) return 0.0f;
    const BrainExpressionModel& model = owner_->model();
    return mode_ == Mode::SectionPlane ? model.sectionPosition(axis_) : model.clippingPlane(axis_, lowSide_);
}

bool MovePlaneMouseTool::mouseDown(int, int x, int y, int, std::uint32_t time) {
    haveInverse_ = readSceneTransform(viewport_, inverse_);
    if (haveInverse_)
        haveInverse_ = unproject(static_cast<float>(x), static_cast<float>(viewport_[3] - y - 1), 0.5f,
                                 inverse_, viewport_, lastPoint_);
    if (mode_ == Mode::SectionPlane) pressPosition_ = planePosition();
    pressTime_ = time;
    return true;
}

bool MovePlaneMouseTool::mouseMove(int x, int y, int, std::uint32_t) {
    std::array<float, 3> point{};
    if (!owner_ || !haveInverse_ ||
        !unproject(static_cast<float>(x), static_cast<float>(viewport_[3] - y - 1), 0.5f, inverse_, viewport_,
                   point))
        return true;
    const float delta = point[axis_] - lastPoint_[axis_];
    if (std::fabs(delta) < minimumStep_) return true;
    BrainExpressionModel& model = owner_->model();
    if (mode_ == Mode::SectionPlane)
        model.setSectionPosition(axis_, model.sectionPosition(axis_) + delta, false);
    else
        model.setClippingPlane(axis_, model.clippingPlane(axis_, lowSide_) + delta, lowSide_, false);
    lastPoint_[axis_] = point[axis_];
    return true;
}

void MovePlaneMouseTool::mouseCaptureLost() {
    haveInverse_ = false;
    if (!owner_ || mode_ != Mode::ClipFace) return;
    owner_->model().endClippingDrag(axis_);
}

bool MovePlaneMouseTool::mouseUp(int, int x, int y, int, std::uint32_t time) {
    if (!owner_) return false;
    if (mode_ == Mode::ClipFace) {
        owner_->model().endClippingDrag(axis_);
        return false;
    }
    if (planePosition() != pressPosition_ || static_cast<std::uint32_t>(time - pressTime_) > kClickMs)
        return false;
    selectStructureAt(x, y);
    return true;
}

void MovePlaneMouseTool::selectStructureAt(int x, int y) {
    std::array<int, 4> viewport{};
    Matrix4 inverse{};
    if (!readSceneTransform(viewport, inverse)) return;
    const int windowY = viewport[3] - y - 1;
    float depth = 0.0f;
    if (!readDepth(x, windowY, depth)) return;
    std::array<float, 3> point{};
    if (!unproject(static_cast<float>(x), static_cast<float>(windowY), depth, inverse, viewport, point))
        return;
    point[axis_] = planePosition();
    BrainExpressionModel& model = owner_->model();
    if (!annotation_ || !ontology_ || !annotation_->isLoaded()) return;
    if (!std::isfinite(point[0]) || !std::isfinite(point[1]) || !std::isfinite(point[2])) return;
    std::array<int, 3> voxel{};
    for (int a = 0; a < 3; ++a) {
        const float last = static_cast<float>(annotation_->dimension(a) - 1);
        // Round half up, then keep inside the volume (the clamp in float also tames huge values).
        const float index = std::clamp(point[a] * (1.0f / minimumStep_) + 0.5f, 0.0f, last);
        voxel[a] = static_cast<int>(index);
    }
    const std::size_t offset =
        static_cast<std::size_t>(voxel[0]) + static_cast<std::size_t>(voxel[1]) * annotation_->dimension(0) +
        static_cast<std::size_t>(voxel[2]) * annotation_->dimension(0) * annotation_->dimension(1);
    const Structure& structure = ontology_->structureAt(annotation_->data()[offset]);
    model.setHighlightedStructure(isSelectableStructure(structure) ? &structure : nullptr, true);
}

} // namespace volumira
