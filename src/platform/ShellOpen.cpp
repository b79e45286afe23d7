#include "platform/ShellOpen.h"

#include <atomic>
#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace volumira {

namespace {

std::atomic<ShellOpener*> installedOpener{nullptr};

ShellOpener& defaultOpener() {
    static SpawnShellOpener opener;
    return opener;
}

} // namespace

ShellOpener::~ShellOpener() = default;

SpawnShellOpener::SpawnShellOpener(std::string program) : program_(std::move(program)) {}

void SpawnShellOpener::open(const std::string& target) {
    // A relative path that starts with "-" would be read as an option.
    std::string argument = !target.empty() && target.front() == '-' ? "./" + target : target;
    std::vector<char*> argv{program_.data(), argument.data(), nullptr};

    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) return;
    // Its own session, so that the handler outlives a terminal closing under the viewer.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t child = 0;
    int result = posix_spawnp(&child, program_.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) return;
    // Reap the handler whenever it ends so that it leaves no zombie behind.
    std::thread([child] {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

void setShellOpener(ShellOpener* opener) {
    installedOpener.store(opener);
}

void shellOpen(const std::string& target) {
    ShellOpener* opener = installedOpener.load();
    (opener ? *opener : defaultOpener()).open(target);
}

} // namespace volumira
