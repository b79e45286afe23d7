#include "app/ViewerWindow.h"

#include "app/CGLView.h"
#include "render_qt/QtGLTextBox.h"
#include "scene/BrainSceneRenderer.h"

#include <QGuiApplication>
#include <QStatusBar>

namespace volumira {

ViewerWindow::ViewerWindow(BrainExpressionModel& model, ReferenceAtlas& atlas, UserPreferences& preferences,
                           Prompt& prompt) {
    setObjectName("MainFrame");
    setWindowTitle("Volumira");
    view_ = new CGLView(preferences, prompt, this);
    view_->setTextBoxFactory(createQtTextBox);
    view_->setShowDiagnostic(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
    view_->setStatusSink([this](const std::string& message) { statusBar()->showMessage(QString::fromStdString(message)); });
    setCentralWidget(view_);
    statusBar()->setObjectName("StatusBar");
    tabs_ = std::make_unique<TabControlRenderer>(*view_, this);
    scene_ = std::make_unique<BrainSceneRenderer>(*view_, model, *tabs_, atlas, preferences);
    tabs_->addTab("Detail View", false, static_cast<GLInteractiveRenderer*>(scene_.get()));
    tabs_->selectTab(0);
    resize(1280, 800);
}

ViewerWindow::~ViewerWindow() {
    // The renderers' display lists and textures belong to the view's context.
    view_->makeCurrent();
    view_->installPage(nullptr);
    tabs_.reset();
    scene_.reset();
    view_->doneCurrent();
}

// The view hides the page it showed when it installs the next one.
void ViewerWindow::tabDeselected(int, void*) {}

void ViewerWindow::tabSelected(int, void* data) {
    active_ = data ? static_cast<GLInteractiveRenderer*>(data) : scene_.get();
    view_->installPage(active_);
}

void ViewerWindow::tabClosed(int, void* data) {
    if (data != active_) return;
    active_ = nullptr;
    view_->installPage(nullptr);
}

} // namespace volumira
