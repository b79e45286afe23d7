#pragma once

#include "io/Image3d.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace volumira {

class BrainExpressionModel;
class ReferenceAtlas;
class UiDispatcher;

// What the atlas load shows the user. The status and progress operations are called from the loading
// thread and must be safe from any thread; showError runs on the UI thread.
class LoadProgressSink {
  public:
    virtual ~LoadProgressSink() = default;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setProgress(int percent) = 0;
    virtual void hideProgress() = 0;
    virtual void showError(const std::string& text) = 0;
};

// The section commands. The full-resolution volumes are read the first time a section is asked for, on
// a worker thread, while the section commands stay disabled; the plane is then turned on through the UI
// thread, as the model's listeners draw and change windows.
class SectionLoader {
  public:
    // onLoaded runs on the UI thread after a successful load, before the plane is turned on.
    // Everything given must outlive the loader.
    SectionLoader(ReferenceAtlas& atlas, BrainExpressionModel& model, LoadProgressSink& sink,
                  UiDispatcher& dispatcher, std::function<void()> onLoaded = {});
    // Cancels a running load and waits for its thread. The dispatcher must be able to run or refuse the
    // worker's last call meanwhile (closed, or served by another thread).
    ~SectionLoader();
    SectionLoader(const SectionLoader&) = delete;
    SectionLoader& operator=(const SectionLoader&) = delete;

    // axis: 0 coronal, 1 horizontal, 2 sagittal. Toggles the plane when the volumes are loaded, else
    // starts loading them; nothing while a load runs.
    void toggleSection(int axis);
    bool loading() const { return loading_.load(); }
    // Whether the volumes were loaded by this loader or before it was made.
    bool loaded() const { return loaded_.load(); }

  private:
    void load(int axis);
    void finish(int axis, const std::string& error);

    ReferenceAtlas& atlas_;
    BrainExpressionModel& model_;
    LoadProgressSink& sink_;
    UiDispatcher& dispatcher_;
    std::function<void()> onLoaded_;
    std::atomic<bool> loading_{false};
    std::atomic<bool> loaded_{false};
    CancelFlag cancel_{false};
    std::thread worker_;
};

} // namespace volumira
