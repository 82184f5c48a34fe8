// What one setup-log line costs on an empty log and on a 50 MB one. The log is never
// shortened, so a line must not cost more the longer the log has grown.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/setup_log.h"

namespace {

class FixedSystem : public talvorin::platform::SystemInfo {
public:
    std::string dir;
    std::string windowsDirectory() const override { return dir; }
    std::string computerName() const override { return "BENCH"; }
};

class FixedClock : public talvorin::platform::Clock {
public:
    talvorin::platform::LocalTime now() const override { return {2026, 12, 8, 12, 0, 0}; }
};

std::filesystem::path makeSandbox(std::size_t existingBytes)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "talvorin-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    const std::filesystem::path kit = std::filesystem::path(pattern) / "MigKit4";
    std::filesystem::create_directories(kit);
    std::ofstream out(kit / "system.log", std::ios::binary);
    const std::string line = "SRV01 2026-12-08 12:00:00 Loading code table DB..T in T.txt completed successfully\r\n";
    for (std::size_t written = 0; written < existingBytes; written += line.size()) out << line;
    return pattern;
}

void writeLine(benchmark::State& state)
{
    const auto sandbox = makeSandbox(static_cast<std::size_t>(state.range(0)) * 1024 * 1024);
    FixedSystem system;
    system.dir = sandbox.string();
    FixedClock clock;
    talvorin::app::SetupLog log(system, clock);
    for (auto _ : state) log.WriteLog("Execute create_tables.sql successfully");
    std::filesystem::remove_all(sandbox);
}
BENCHMARK(writeLine)->Arg(0)->Arg(50)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// Keeps each run's time per line to print the ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::vector<double> perLine;  // in the order registered: empty log, then 50 MB
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) perLine.push_back(r.GetAdjustedRealTime());
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.perLine.size() != 2) return 0;  // a filter ran only one of them
    const double empty = reporter.perLine[0];
    const double big = reporter.perLine[1];
    if (empty > 0) std::printf("log line on a 50 MB log / on an empty log: %.2f (target: at most 1.5)\n", big / empty);
    return 0;
}
