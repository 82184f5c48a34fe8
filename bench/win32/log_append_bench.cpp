// What one setup-log line costs on an empty log and on a 50 MB one, through the Windows file
// calls of the shipped program. Blocks of lines alternate between the two logs, so that a
// busy machine slows both alike; the medians of the blocks are compared.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/setup_log.h"
#include "platform/win32/windows_api.h"

namespace {

// The sandbox as the Windows directory, this machine's name as the program logs it.
class SandboxSystem : public talvorin::platform::SystemInfo {
public:
    explicit SandboxSystem(std::string dir) : dir_(std::move(dir)) {}
    std::string windowsDirectory() const override { return dir_; }
    std::string computerName() const override { return talvorin::platform::systemInfo().computerName(); }

private:
    std::string dir_;
};

std::filesystem::path makeSandbox(const std::filesystem::path& root, const char* name, std::size_t existingBytes)
{
    const std::filesystem::path kit = root / name / "MigKit4";
    std::filesystem::create_directories(kit);
    std::ofstream out(kit / "system.log", std::ios::binary);
    const std::string line = "SRV01 2026-12-08 12:00:00 Loading code table DB..T in T.txt completed successfully\r\n";
    for (std::size_t written = 0; written < existingBytes; written += line.size()) out << line;
    return root / name;
}

double now()
{
    static const double frequency = [] {
        LARGE_INTEGER f{};
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c{};
    ::QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / frequency;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main()
{
    using namespace talvorin;
    constexpr int kRounds = 15;
    constexpr int kLinesPerBlock = 200;
    const auto root = std::filesystem::temp_directory_path() /
                      ("talvorin-log-bench-" + std::to_string(::GetCurrentProcessId()));
    const SandboxSystem emptySystem(makeSandbox(root, "empty", 0).string());
    const SandboxSystem bigSystem(makeSandbox(root, "big", 50u * 1024 * 1024).string());
    app::SetupLog emptyLog(emptySystem, platform::systemClock());
    app::SetupLog bigLog(bigSystem, platform::systemClock());

    std::vector<double> empty, big;
    for (int round = 0; round < kRounds; ++round) {
        for (auto [log, times] : {std::pair{&emptyLog, &empty}, std::pair{&bigLog, &big}}) {
            const double start = now();
            for (int i = 0; i < kLinesPerBlock; ++i) log->WriteLog("Execute create_tables.sql successfully");
            times->push_back((now() - start) / kLinesPerBlock);
        }
    }
    std::filesystem::remove_all(root);
    const double e = median(empty), b = median(big);
    std::printf("one log line: %.1f us on an empty log, %.1f us on a 50 MB log\n", e * 1e6, b * 1e6);
    std::printf("log line on a 50 MB log / on an empty log: %.2f (target: at most 1.1, figure/target %.2f)\n", b / e,
                b / e / 1.1);
    return 0;
}
