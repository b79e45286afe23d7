#pragma once

#include "render/GLRenderer.h"
#include "render/TabControlRenderer.h"

#include <QMainWindow>
#include <memory>

namespace volumira {

class BrainExpressionModel;
class BrainSceneRenderer;
class CGLView;
class Prompt;
class ReferenceAtlas;
class UserPreferences;

// The main window: the data view with its tab strip, whose "Detail View" tab holds the 3D scene.
// Result tabs, side panels and menus attach to the same tab strip and window.
class ViewerWindow : public QMainWindow, public TabControlListener {
  public:
    // Everything given must outlive the window.
    ViewerWindow(BrainExpressionModel& model, ReferenceAtlas& atlas, UserPreferences& preferences, Prompt& prompt);
    ~ViewerWindow() override;

    CGLView& view() { return *view_; }
    BrainSceneRenderer& scene() { return *scene_; }
    TabControlRenderer& tabs() { return *tabs_; }

    void tabDeselected(int index, void* data) override;
    void tabSelected(int index, void* data) override;
    void tabClosed(int index, void* data) override;

  private:
    CGLView* view_;
    std::unique_ptr<TabControlRenderer> tabs_;
    std::unique_ptr<BrainSceneRenderer> scene_;
    GLInteractiveRenderer* active_ = nullptr;
};

} // namespace volumira
