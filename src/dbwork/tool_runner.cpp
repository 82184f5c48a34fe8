#include "dbwork/tool_runner.h"

namespace talvorin::dbwork {

int RunTool(StepWindow& window, platform::ProcessLauncher& launcher, const std::string& program,
            const std::string& parameters, const std::string& workingDirectory, std::string* whyNotStarted)
{
    // After a quit request every remaining entry fails at once instead of starting
    // tools that nobody waits for.
    if (window.quitRequested()) return kStillActive;
    platform::LaunchResult started = launcher.start({program, parameters, workingDirectory, window.owner()});
    const auto& child = started.child;
    if (!child) {
        if (whyNotStarted != nullptr)
            *whyNotStarted = started.failure.empty() ? "the system gave no reason" : std::move(started.failure);
        return kNotStarted;
    }
    for (;;) {
        window.processMessages();
        if (const auto code = child->exitCode()) return *code;
        if (window.quitRequested()) return kStillActive;
        window.waitFor(child->endSignal());
    }
}

}  // namespace talvorin::dbwork
