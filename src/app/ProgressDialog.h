#pragma once

#include "io/Image3d.h"

#include <QDialog>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

class QLabel;
class QProgressBar;
class QPushButton;

namespace volumira {

// The box that shows the unpacking of the reference atlas on the first start. The unpacking runs on a
// worker thread; "Quit" (or Escape, or closing the box) asks it to stop and the box stays until it has.
class ProgressDialog : public QDialog {
  public:
    // Unpacks with the callback and its data, watching the cancel flag: false when cancelled, throws on
    // failure. Runs on the worker thread.
    using Unpack = std::function<bool(ProgressCallback callback, void* data, const CancelFlag* cancel)>;
    // The codes the box ends with.
    enum class End { Unpacked = 1, Stopped = 2 };
    struct Outcome {
        End end = End::Stopped;
        // What to tell the user; empty after Quit and when nothing went wrong.
        std::string error;
    };

    explicit ProgressDialog(QWidget* parent = nullptr);
    // Waits for a worker that is still running.
    ~ProgressDialog() override;

    // Shows the box modally while the worker unpacks, and returns once the worker has ended. The
    // directory fills in the message of a failure that is not a standard exception.
    Outcome run(Unpack unpack, const std::string& atlasDirectory);

    QLabel& text() { return *text_; }
    QProgressBar& progressBar() { return *bar_; }
    QPushButton& quitButton() { return *quit_; }
    bool cancelRequested() const { return cancel_.load(); }

  protected:
    void reject() override;

  private:
    // Safe from the worker.
    static void reportProgress(float fraction, void* dialog);
    void workerDone(End end, std::string error);

    QLabel* text_;
    QProgressBar* bar_;
    QPushButton* quit_;
    CancelFlag cancel_{false};
    std::atomic<int> shownPercent_{-1};
    std::thread worker_;
    bool running_ = false;
    Outcome outcome_;
};

} // namespace volumira
