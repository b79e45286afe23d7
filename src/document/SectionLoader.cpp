#include "document/SectionLoader.h"

#include "atlas/ReferenceAtlas.h"
#include "expression/BrainExpressionModel.h"
#include "net/ThreadCall.h"
#include "net/UiDispatcher.h"

#include <exception>

namespace volumira {

namespace {

class FunctionCall : public ThreadCall {
  public:
    explicit FunctionCall(std::function<void()> f) : f_(std::move(f)) {}
    void invoke() override { f_(); }

  private:
    std::function<void()> f_;
};

void toggleFlag(BrainExpressionModel& model, int axis) { model.setDisplayFlag(axis, !model.displayFlag(axis), true); }

} // namespace

SectionLoader::SectionLoader(ReferenceAtlas& atlas, BrainExpressionModel& model, LoadProgressSink& sink,
                             UiDispatcher& dispatcher, std::function<void()> onLoaded)
    : atlas_(atlas), model_(model), sink_(sink), dispatcher_(dispatcher), onLoaded_(std::move(onLoaded)),
      loaded_(atlas.isFullScaleLoaded()) {}

SectionLoader::~SectionLoader() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

void SectionLoader::toggleSection(int axis) {
    if (loading_) return;
    if (loaded_) {
        toggleFlag(model_, axis);
        return;
    }
    // A finished earlier attempt (a failed one) leaves its thread to be joined.
    if (worker_.joinable()) worker_.join();
    loading_ = true;
    cancel_ = false;
    // Shown before the worker starts, so that the user sees the load begin whatever the thread does first.
    sink_.setStatusText("Loading atlas...");
    sink_.setProgress(0);
    try {
        worker_ = std::thread([this, axis] { load(axis); });
    } catch (...) {
        loading_ = false;
        throw;
    }
}

void SectionLoader::load(int axis) {
    std::string error;
    try {
        auto report = [](float fraction, void* data) {
            static_cast<LoadProgressSink*>(data)->setProgress(static_cast<int>(fraction * 100.0f));
        };
        atlas_.loadFullScale(report, &sink_, &cancel_);
    } catch (const std::exception& e) {
        error = e.what();
        if (error.empty()) error = "Could not load reference atlas.";
    } catch (...) {
        error = "Could not load reference atlas.";
    }
    sink_.setStatusText("Ready");
    sink_.hideProgress();
    if (!cancel_) finish(axis, error);
    loading_ = false;
}

void SectionLoader::finish(int axis, const std::string& error) {
    FunctionCall call([this, axis, &error] {
        if (!error.empty()) {
            sink_.showError(error);
            return;
        }
        loaded_ = true;
        if (onLoaded_) onLoaded_();
        toggleFlag(model_, axis);
    });
    dispatcher_.sendSync(call);
}

} // namespace volumira
