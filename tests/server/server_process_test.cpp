// The volumira-server program: it serves on the port it prints and stops cleanly on SIGINT and SIGTERM.

#include "ServerFixture.h"

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace volumira::test {

namespace {

// The program running on a free port of the shared sample; stopped with a signal by the test.
class ServerProcess {
  public:
    explicit ServerProcess(const std::string& data) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            execl(VOLUMIRA_SERVER_PATH, VOLUMIRA_SERVER_PATH, "--data", data.c_str(), "--port", "0",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        stdout_ = fdopen(out[0], "r");
        char line[512] = {};
        // "volumira-server: serving DIR on http://127.0.0.1:PORT"
        if (stdout_ && std::fgets(line, sizeof line, stdout_)) {
            const std::string text = line;
            const auto colon = text.rfind(':');
            if (colon != std::string::npos) port_ = std::atoi(text.c_str() + colon + 1);
        }
    }
    ~ServerProcess() {
        if (pid_ > 0 && !waited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (stdout_) std::fclose(stdout_);
    }
    int port() const { return port_; }
    // Sends the signal and returns the exit status, or -1 when the program did not exit normally.
    int stop(int signal) {
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        waited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    FILE* stdout_ = nullptr;
    int port_ = 0;
    bool waited_ = false;
};

using ServerProcessTest = ServerTest;

TEST_F(ServerProcessTest, TheProgramServesUntilASignalStopsIt) {
    for (const int signal : {SIGINT, SIGTERM}) {
        ServerProcess server(dataFile(""));
        ASSERT_GT(server.port(), 0);
        httplib::Client client("127.0.0.1", server.port());
        const auto versions = client.Get("/Volumira/versions.xml");
        ASSERT_TRUE(versions);
        EXPECT_EQ(versions->status, 200);
        EXPECT_EQ(server.stop(signal), 0) << signal;
        EXPECT_FALSE(client.Get("/Volumira/versions.xml")) << "nothing listens after the stop";
    }
}

TEST(DataServerTest, AMissingDataDirectoryIsAClearError) {
    TempDir empty;
    try {
        server::DataServer server(empty.file("nothing here"));
        ADD_FAILURE() << "a server over no data";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()), "");
    }
}

} // namespace

} // namespace volumira::test
