#pragma once

// What the benchmark programs share: their command line and a reporter that keeps the median time of
// each benchmark so the programs can print ratios after the table.

#include "platform/FileUtils.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <map>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace volumira::bench {

class MedianReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.aggregate_name == "median")
                medians_[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    // The median time of a benchmark in its unit, or -1 when it did not run.
    double median(const std::string& name) const {
        const auto it = medians_.find(name);
        return it == medians_.end() ? -1.0 : it->second;
    }
    void printRatio(const char* ours, const char* floor, double goal) const {
        if (median(ours) < 0 || median(floor) < 0) return;
        const double r = median(ours) / median(floor);
        std::printf("%-24s %6.3f x %-26s goal <= %.2f  %s\n", ours, r, floor, goal,
                    r <= goal ? "met" : "MISSED");
    }

  private:
    std::map<std::string, double> medians_;
};

// A whole file in memory, for the floors that read with no library in between.
inline std::vector<std::uint8_t> readWhole(const std::string& path) {
    UniqueFile file = openFile(path, "rb");
    if (!file) throw std::runtime_error("Could not open " + path);
    std::fseek(file.get(), 0, SEEK_END);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::ftell(file.get())));
    std::fseek(file.get(), 0, SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        throw std::runtime_error("Could not read " + path);
    return bytes;
}

// Takes an optional work directory as the first argument, then Google Benchmark's flags, with
// repetitions interleaved so that slow drifts of the machine favour neither side of a ratio.
inline std::string initialise(int argc, char** argv, const std::string& defaultDirectory, int repetitions) {
    std::string directory = defaultDirectory;
    std::vector<char*> args(argv, argv + argc);
    if (argc > 1 && argv[1][0] != '-') {
        directory = argv[1];
        args.erase(args.begin() + 1);
    }
    static std::string repeat, interleave = "--benchmark_enable_random_interleaving=true",
                               aggregates = "--benchmark_report_aggregates_only=true";
    repeat = "--benchmark_repetitions=" + std::to_string(repetitions);
    args.insert(args.begin() + 1, {repeat.data(), interleave.data(), aggregates.data()});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    return directory;
}

// The network floor of the benchmarks that download: curl --parallel --parallel-max 5 fetching each address
// to its file; throws when curl cannot start or fails.
inline void curlParallel(const std::vector<std::string>& urls, const std::vector<std::string>& paths) {
    std::vector<std::string> args = {"curl", "--silent", "--no-progress-meter", "--show-error", "--fail",
                                     "--noproxy", "*", "--parallel", "--parallel-max", "5"};
    for (std::size_t i = 0; i < urls.size(); ++i) {
        args.push_back("-o");
        args.push_back(paths[i]);
        args.push_back(urls[i]);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("Could not start curl");
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("curl failed");
}

} // namespace volumira::bench
