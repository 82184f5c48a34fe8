// The shipped program's own cost per script: Talvorin.exe running a first installation
// whose script list is short, then long, against a minimal launcher (shell_launcher.exe)
// starting the same tool as often, under the same loader. Every run pays fixed costs (the
// program's one-second start timer, its connections, Wine starting a process), so the costs
// compared are slopes: (time with the long list - time with the short one) / the scripts
// added. Wine's process starts vary by about 10 % from run to run: the runs of the two
// alternate, each round gives the ratio of its two slopes, and the median round counts.
//
//   script_list_bench <Talvorin.exe> <shell_launcher.exe> <kit_tool_standin.exe> [rounds]
//
// TALVORIN_BENCH_SERVER names the SQL Server (address,port; login "sa", password "bench").
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dbwork/database_steps.h"
#include "platform/win32/handles.h"
#include "setupdata/scramble.h"

namespace {

using talvorin::platform::UniqueHandle;

constexpr int kShort = 10;
constexpr int kLong = 60;

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

double counterSeconds()
{
    LARGE_INTEGER c{}, f{};
    ::QueryPerformanceCounter(&c);
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Seconds from the start of the program to its end.
double run(std::string commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const double start = counterSeconds();
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        std::fprintf(stderr, "cannot start %s\n", commandLine.c_str());
        std::exit(1);
    }
    const UniqueHandle process(info.hProcess), thread(info.hThread);
    ::WaitForSingleObject(process.get(), INFINITE);
    return counterSeconds() - start;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

int main(int argc, char** argv)
{
    using namespace talvorin;
    const char* server = std::getenv("TALVORIN_BENCH_SERVER");
    if ((argc != 4 && argc != 5) || server == nullptr) {
        std::fprintf(stderr, "usage: TALVORIN_BENCH_SERVER=address,port script_list_bench <Talvorin.exe> "
                             "<shell_launcher.exe> <kit_tool_standin.exe> [rounds]\n");
        return 2;
    }
    const std::string program = argv[1], launcher = argv[2], standin = argv[3];
    const int rounds = argc == 5 ? std::max(1, std::atoi(argv[4])) : 7;
    const std::string address = std::string(server).substr(0, std::string(server).rfind(','));
    const std::string port = std::string(server).substr(std::string(server).rfind(',') + 1);

    // The kit folder every process of the prefix shares, with the stand-in as osql.exe and
    // the server settings the installer left.
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, sizeof windows);
    const std::filesystem::path kit = std::filesystem::path(windows) / "MigKit4";
    std::filesystem::remove_all(kit);
    std::filesystem::create_directories(kit);
    std::filesystem::copy_file(standin, kit / "osql.exe");
    std::string data = "[DB]\r\n";
    for (const auto& [key, value] :
         {std::pair{"User", "sa"}, {"Password", "bench"}, {"IP address", address.c_str()}, {"Port", port.c_str()}})
        data += std::string(key) + "=" + setupdata::ScrambleText(value) + "\r\n";
    writeFile(kit / "Orvo4.DAT", data);

    // One server folder with the scripts, two setup files: the short list and the long one.
    const auto root = std::filesystem::temp_directory_path() /
                      ("talvorin-script-bench-" + std::to_string(::GetCurrentProcessId()));
    const std::string base = (root / "Srv").string();
    std::string list[2];
    for (int i = 0; i < kLong; ++i) {
        const std::string name = "create_" + std::to_string(i) + ".sql";
        writeFile(root / "Srv" / "Scripts" / name, "-- create\r\n");
        const std::string entry = std::to_string(i + 1) + "=" + name + "\r\n";
        if (i < kShort) list[0] += entry;
        list[1] += entry;
    }
    const std::string support[2] = {(root / "Short").string(), (root / "Long").string()};
    for (int i = 0; i < 2; ++i)
        writeFile(std::filesystem::path(support[i]) / "Setup.ini", "[SCRIPT_2005]\r\n" + list[i]);
    const int scripts[2] = {kShort, kLong};

    // The launcher starts the tool with the parameters the program gives its first script.
    const dbwork::StepInputs in{address, port, "sa", "bench", support[0] + "\\", "Setup.ini"};
    const std::string parameters = dbwork::osqlParameters(in, base + "\\Scripts\\", "create_0.sql");
    ::SetEnvironmentVariableA("BENCH_TOOL_PARAMETERS", parameters.c_str());
    const std::string osql = (kit / "osql.exe").string();

    std::vector<double> programSlopes, launcherSlopes, ratios;
    for (int round = 0; round < rounds; ++round) {
        double p[2], l[2];
        // Every other round the long lists go first, so a drift in the machine's speed
        // does not favour one length.
        for (int k = 0; k < 2; ++k) {
            const int i = round % 2 ? 1 - k : k;
            std::filesystem::remove(kit / "system.log");
            p[i] = run(quoted(program) + " 301 " + quoted(base) + " 1 " + quoted(support[i]) + " Setup.ini");
            const std::string log = readFile(kit / "system.log");
            if (count(log, " successfully\r\n") != static_cast<std::size_t>(scripts[i]) ||
                count(log, "Process completed successfully") != 1) {
                std::fprintf(stderr, "the program's run did not go as expected; its log:\n%s\n", log.c_str());
                return 1;
            }
            l[i] = run(quoted(launcher) + " " + std::to_string(scripts[i]) + " " + quoted(osql));
        }
        const double added = kLong - kShort;
        programSlopes.push_back((p[1] - p[0]) / added);
        launcherSlopes.push_back((l[1] - l[0]) / added);
        ratios.push_back(programSlopes.back() / launcherSlopes.back());
        std::printf("  round %d: one more script %.2f ms, one more start %.2f ms: %.3f\n", round + 1,
                    programSlopes.back() * 1e3, launcherSlopes.back() * 1e3, ratios.back());
        std::fflush(stdout);
    }
    std::filesystem::remove_all(root);
    std::filesystem::remove_all(kit);

    std::sort(ratios.begin(), ratios.end());
    std::printf("one more script through the program %.2f ms, one more start by the launcher %.2f ms (medians)\n",
                median(programSlopes) * 1e3, median(launcherSlopes) * 1e3);
    std::printf("one more script through the program / one more start by a launcher (%d to %d scripts, median of %d "
                "rounds, from %.3f to %.3f): %.3f (target: at most 1.05, figure/target %.2f)\n",
                kShort, kLong, rounds, ratios.front(), ratios.back(), median(ratios), median(ratios) / 1.05);
    return 0;
}
