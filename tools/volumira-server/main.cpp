// volumira-server --data DIR [--port N] [--bind ADDRESS]

#include "volumira-server/DataServer.h"

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <pthread.h>
#include <thread>

int main(int argc, char** argv) {
    namespace server = volumira::server;
    CLI::App app{"Serves the sample gene data, search service and image pyramids of a data directory"};
    std::string data, address = server::kDefaultAddress;
    int port = server::kDefaultPort;
    app.add_option("--data", data, "Data directory written by 'volumira-tool make-sample-data'")->required();
    app.add_option("--port", port, "Port to listen on; 0 picks a free one")->check(CLI::Range(0, 65535));
    app.add_option("--bind", address,
                   "Address to listen on (default 127.0.0.1: this machine only). Any other address, such as "
                   "0.0.0.0, lets every host that can reach it read all the served data and load the server: "
                   "there is no authentication and no encryption");
    CLI11_PARSE(app, argc, argv);

    // SIGINT and SIGTERM are taken by a thread of their own, which stops the server from outside any
    // signal handler; every other thread inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        server::DataServer dataServer(data);
        dataServer.setLogger([](const std::string& line) { std::cerr << line << std::endl; });
        port = dataServer.bind(address, port);
        std::cout << "volumira-server: serving " << data << " on http://" << address << ":" << port
                  << std::endl;
        std::atomic<bool> finished{false};
        std::thread stopper([&] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            if (finished) return;
            std::cerr << "volumira-server: stopping" << std::endl;
            // Stopping is a no-op until serving has begun, so a signal that comes very early is repeated.
            while (!finished) {
                dataServer.stop();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        const bool served = dataServer.serve();
        finished = true;
        // Without a signal the stopper still waits: wake it so that it can end.
        if (!served) pthread_kill(stopper.native_handle(), SIGTERM);
        stopper.join();
        return served ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "volumira-server: error: " << e.what() << std::endl;
        return 1;
    }
}
