#pragma once

#include "render/MatrixMath.h"
#include "render/MouseListener.h"

#include <array>
#include <cstdint>

namespace volumira {

class Image3d;
class Ontology;
struct Structure;
class ToolOwner;

// Drags a section plane or a face of the clipping box along its axis, in steps of at least one annotation
// voxel, and selects the structure under the pointer when a section plane is clicked without moving it.
// The owner applies the scene's model-view transform before forwarding each event.
class MovePlaneMouseTool : public MouseListener {
  public:
    enum class Mode { SectionPlane, ClipFace };

    // A release no later than this after the press, without plane motion, is a click.
    static constexpr std::uint32_t kClickMs = 500;

    // minimumStep: one annotation voxel in scene units.
    explicit MovePlaneMouseTool(float minimumStep) : minimumStep_(minimumStep) {}
    void setOwner(ToolOwner* owner) { owner_ = owner; }
    // The annotation volume and ontology that clicks look structures up in; not owned. Without them a
    // click selects nothing.
    void setAnnotation(const Image3d* annotation, const Ontology* ontology);

    void selectSectionPlane(int axis);
    // Also raises the model's interactive-change flag until the release, which ends the model's clipping
    // drag: the steps move the face unannounced, the end announces the box once.
    void selectClipFace(int axis, bool lowSide);
    Mode mode() const { return mode_; }
    int axis() const { return axis_; }
    bool lowSide() const { return lowSide_; }
    float minimumStep() const { return minimumStep_; }
    // The current position of the plane or face the tool moves.
    float planePosition() const;

    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseMove(int x, int y, int modifiers, std::uint32_t time) override;
    // Leaves the plane where the drag took it; a clipping drag ends as a release does.
    void mouseCaptureLost() override;

  private:
    void selectStructureAt(int x, int y);
    ToolOwner* owner_ = nullptr;
    const Image3d* annotation_ = nullptr;
    const Ontology* ontology_ = nullptr;
    Mode mode_ = Mode::SectionPlane;
    int axis_ = 0;
    bool lowSide_ = true;
    float minimumStep_;
    std::array<float, 3> lastPoint_{};
    std::array<int, 4> viewport_{};
    Matrix4 inverse_{};
    bool haveInverse_ = false;
    float pressPosition_ = 0.0f;
    std::uint32_t pressTime_ = 0;
};

} // namespace volumira
