#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace volumira {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C in the terminal, a closed terminal) into a call on the
// event loop, so that the program ends the way closing its window does: window placement and bookmarks
// are saved. A second signal, when the first could not end the program, ends it at once as the default
// action would. One instance at a time; the handlers in place before are restored by the destructor.
class TerminationSignals : public QObject {
  public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Whether the handlers are in place (the socket pair could be made).
    bool installed() const { return installed_; }

  private:
    void readSignal();

    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool installed_ = false;
};

} // namespace volumira
