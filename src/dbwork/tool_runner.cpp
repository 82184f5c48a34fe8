#include "dbwork/tool_runner.h"

namespace talvorin::dbwork {

int RunTool(ui::Backend& ui, platform::ProcessLauncher& launcher, const std::string& program,
            const std::string& parameters, const std::string& workingDirectory)
{
    // After a quit request every remaining entry fails at once instead of starting
    // tools that nobody waits for.
    if (ui.quitRequested()) return kStillActive;
    const platform::LaunchResult started =
        launcher.start({program, parameters, workingDirectory, ui.mainWindow()});
    const auto& child = started.child;
    if (!child) return kNotStarted;
    for (;;) {
        ui.processMessages();
        if (const auto code = child->exitCode()) return *code;
        if (ui.quitRequested()) return kStillActive;
        ui.waitFor(child->endSignal());
    }
}

}  // namespace talvorin::dbwork
