// While a kit tool runs, the program must sleep, not poll: the CPU it uses during a
// 3-second tool run, as a share of one core, and how late it notices the tool's end.
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "dbwork/tool_runner.h"
#include "platform/process.h"
#include "support/backend_step_window.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/posix/terminal_backend.h"
#include "ui/timer.h"

namespace {

double cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long long realtimeNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

}  // namespace

int main()
{
    using namespace talvorin;
    std::string pattern = (std::filesystem::temp_directory_path() / "talvorin-wait-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    const std::string stampFile = pattern + "/ended";

    // The main window as the run has it: the progress timer ticking every 100 ms.
    ui::TerminalBackend backend;
    ui::Form window(backend, "frmCreateDBInfo", "Velmora Deluxe Setup");
    ui::ProgressBar bar(window, "pgbProcess");
    ui::Timer timer(backend, "Timer1", 100);
    timer.onTimer = [&] { bar.setPosition((bar.position() + 1) % 100); };
    timer.setEnabled(true);

    // The tool's last act is to write the time it ends.
    const std::string params = " -c \"sleep 3; date +%s%N > '" + stampFile + "'\"";
    const double cpuBefore = cpuSeconds();
    const long long wallBefore = realtimeNs();
    testing::BackendStepWindow steps(backend);
    const int code = dbwork::RunTool(steps, platform::systemProcessLauncher(), "/bin/sh", params, "");
    const long long noticed = realtimeNs();
    const double cpu = cpuSeconds() - cpuBefore;
    const double wall = static_cast<double>(noticed - wallBefore) / 1e9;

    long long ended = 0;
    std::ifstream(stampFile) >> ended;
    std::filesystem::remove_all(pattern);
    if (code != 0 || ended == 0) {
        std::printf("the tool did not run as expected (exit code %d)\n", code);
        return 1;
    }
    std::printf("CPU used while a tool ran %.2f s: %.3f %% of one core (target: under 1 %%)\n", wall,
                100.0 * cpu / wall);
    std::printf("tool's end noticed after %.2f ms (target: under 20 ms)\n", static_cast<double>(noticed - ended) / 1e6);
    return 0;
}
