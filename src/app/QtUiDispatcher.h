#pragma once

#include "net/UiDispatcher.h"

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <mutex>

namespace volumira {

// Runs worker threads' calls on the thread that owns this object (the UI thread) and blocks the worker
// until they have run. Once closed it refuses calls, and workers waiting for their turn are released.
class QtUiDispatcher : public QObject, public UiDispatcher {
  public:
    explicit QtUiDispatcher(QObject* parent = nullptr);
    ~QtUiDispatcher() override;

    bool sendSync(ThreadCall& call) override;
    void close() override;
    bool isClosed() const { return closed_.load(); }

  private:
    std::atomic<bool> closed_{false};
    // Guards every hand-over's state; one condition serves all waiting workers so that close() can wake them.
    std::mutex mutex_;
    std::condition_variable changed_;
};

} // namespace volumira
