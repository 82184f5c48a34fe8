#include "dbwork/step_tool.h"

#include "dbwork/tool_runner.h"

namespace talvorin::dbwork {

int runEntryTool(StepContext& ctx, const std::string& toolName, const std::string& parameters,
                 const std::string& workingDirectory, const std::string& entry)
{
    if (ctx.ui.quitRequested()) throw RunInterrupted();
    const int code = RunTool(ctx.ui, ctx.processes, ctx.kitDir + toolName, parameters, workingDirectory);
    // The runner answers 259 for a quit; a tool's own 259 comes without one.
    if (code == kStillActive && ctx.ui.quitRequested()) {
        ctx.log.WriteLog("Interrupted by a quit request: " + toolName + " was left running for " + entry);
        throw RunInterrupted();
    }
    return code;
}

}  // namespace talvorin::dbwork
