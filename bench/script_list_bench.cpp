// The program's own cost per script: 1000 scripts through the script list (log lines,
// label, existence checks, waits) against starting the same tool 1000 times directly.
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/setup_log.h"
#include "dbwork/database_steps.h"
#include "platform/clock.h"
#include "platform/settings_files.h"
#include "platform/system_info.h"
#include "support/backend_step_window.h"
#include "support/fakes.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/posix/terminal_backend.h"
#include "ui/timer.h"

namespace {

constexpr int kScripts = 1000;

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main()
{
    using namespace talvorin;
    testing::TempDir dir;
    const std::string kitDir = dir.str() + "/WINDOWS/MigKit4/";
    const std::string scripts = dir.str() + "/Srv/Scripts/";
    std::filesystem::create_directories(kitDir);
    std::filesystem::create_directories(scripts);
    std::filesystem::copy_file("/bin/true", kitDir + "osql.exe");
    std::string setup = "[UPD_2005]\r\n";
    for (int i = 0; i < kScripts; ++i) {
        const std::string name = "upgrade_" + std::to_string(i) + ".sql";
        testing::writeFile(scripts + name, "-- upgrade\n");
        setup += std::to_string(i) + "=" + name + "\r\n";
    }
    testing::writeFile(dir.str() + "/Support/setup.ini", setup);

    // Starting the tool directly, as a bare loop would: the cheapest start there is and a
    // blocking wait.
    const std::string osql = kitDir + "osql.exe";
    const char* argv[] = {osql.c_str(), "-S", "10.0.0.1,1433", "-U", "sa", "-P", "pw", "-i", "x", nullptr};
    const auto directStart = std::chrono::steady_clock::now();
    for (int i = 0; i < kScripts; ++i) {
        pid_t pid = -1;
        if (::posix_spawn(&pid, osql.c_str(), nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return 1;
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    const double direct = seconds(std::chrono::steady_clock::now() - directStart);

    // The same through the program, with the real log and the progress timer.
    testing::FakeSystemInfo system;
    system.windowsDir = dir.str() + "/WINDOWS";
    ui::TerminalBackend backend;
    ui::Form window(backend, "frmCreateDBInfo", "Velmora Deluxe Setup");
    ui::Label label(window, "Label1");
    ui::ProgressBar bar(window, "pgbProcess");
    ui::Timer timer(backend, "Timer1", 100);
    timer.onTimer = [&] { bar.setPosition((bar.position() + 1) % 100); };
    timer.setEnabled(true);
    app::SetupLog log(system, platform::systemClock(), [&] { backend.processMessages(); });
    testing::FakeRegistry registry;
    testing::BackendStepWindow steps(backend, &label, &bar);
    dbwork::StepContext ctx{steps,
                            log,
                            platform::systemSettingsFiles(),
                            registry,
                            platform::systemProcessLauncher(),
                            nullptr,
                            kitDir,
                            scripts,
                            dbwork::kUpgrade};
    const dbwork::StepInputs in{"10.0.0.1", "1433", "sa", "pw", dir.str() + "/Support/", "setup.ini"};
    const auto programStart = std::chrono::steady_clock::now();
    const bool ok = dbwork::ModifyTableStructures(ctx, in);
    const double program = seconds(std::chrono::steady_clock::now() - programStart);

    if (!ok) {
        std::printf("the script list failed\n");
        return 1;
    }
    std::printf("%d scripts: directly %.3f s, through the program %.3f s: %.2f x (target: at most 1.2)\n", kScripts,
                direct, program, program / direct);
    return 0;
}
