#include "dbwork/step_tool.h"

#include "dbwork/tool_runner.h"

namespace talvorin::dbwork {

bool runEntryTool(StepContext& ctx, const std::string& toolName, const std::string& parameters,
                  const std::string& workingDirectory, const std::string& entry, const std::string& failureLine)
{
    if (ctx.window.quitRequested()) throw RunInterrupted();
    const std::string program = ctx.kitDir + toolName;
    std::string whyNotStarted;
    const int code = RunTool(ctx.window, ctx.processes, program, parameters, workingDirectory, &whyNotStarted);
    // The runner answers 259 for a quit; a tool's own 259 comes without one.
    if (code == kStillActive && ctx.window.quitRequested()) {
        ctx.log.WriteLog("Interrupted by a quit request: " + toolName + " was left running for " + entry);
        throw RunInterrupted();
    }
    if (code == 0) return true;
    ctx.log.WriteLog(failureLine);
    // The fixed line stays as it always was; whoever reads the log also needs the why.
    if (!whyNotStarted.empty()) ctx.log.WriteLog("Cannot start " + program + ": " + whyNotStarted);
    return false;
}

}  // namespace talvorin::dbwork
