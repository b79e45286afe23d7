#include "app/TerminationSignals.h"

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace volumira {

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The handler may only touch these: a write end and a counter, both safe in a signal handler.
int writeEnd = -1, readEnd = -1;
std::atomic<int> received{0};
struct sigaction previous[kSignals.size()];

void onTerminationSignal(int signal) {
    // A later signal: the first did not end the program (or it is taking too long), so end it now.
    if (received.fetch_add(1) > 0) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    const char byte = static_cast<char>(signal);
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
    int pair[2];
    if (writeEnd >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0)
        return;
    writeEnd = pair[0];
    readEnd = pair[1];
    received = 0;
    notifier_ = std::make_unique<QSocketNotifier>(readEnd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readSignal(); });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &action, &previous[i]);
    installed_ = true;
}

TerminationSignals::~TerminationSignals() {
    if (!installed_) return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    notifier_.reset();
    ::close(writeEnd);
    ::close(readEnd);
    writeEnd = readEnd = -1;
}

void TerminationSignals::readSignal() {
    char byte = 0;
    while (::read(readEnd, &byte, 1) == 1) {
    }
    if (onSignal_) onSignal_();
}

} // namespace volumira
