#include "dbwork/database_steps.h"

#include "dbwork/step_tool.h"
#include "platform/file_system.h"
#include "setupdata/setup_files.h"

namespace talvorin::dbwork {
namespace {

struct AgentJob {
    const char* name;
    const char* what;  // how the log names it
};

constexpr AgentJob kAgentJobs[] = {
    {"ORVO_Schedule_Archive", "Delete previous archive schedule"},
    {"ORVO_Schedule_Full_Backup", "Delete previous backup schedule"},
    {"ORVO_Daily_Tx_Log_Backup", "Delete previous backup TXLog schedule"},
};

constexpr const char* kCreateLabel = "Creating databases and tables ......";
constexpr const char* kCreateError = "Error creating database.[sqlcmd failed] ";
constexpr const char* kModifyLabel = "Modifying table structures ......";
constexpr const char* kModifyError = "Error modify table structure.[sqlcmd failed] ";

void deleteAgentJobs(StepContext& ctx)
{
    for (const AgentJob& job : kAgentJobs) {
        if (ctx.window.quitRequested()) throw RunInterrupted();
        try {
            if (ctx.msdb == nullptr) throw setupdata::SqlError("Connection to msdb is not open.");
            ctx.msdb->deleteAgentJob(job.name);
            ctx.window.processMessages();
            ctx.log.WriteLog(std::string(job.what) + ": Success");
        } catch (const setupdata::SqlError& e) {
            ctx.log.WriteLog(std::string(job.what) + ": Fail, error: " + e.what());
        }
    }
}

}  // namespace

bool RunScriptList(StepContext& ctx, const StepInputs& in, const std::string& section, const std::string& labelText,
                   const std::string& errorText)
{
    const std::string osql = ctx.kitDir + "osql.exe";
    for (const std::string& entry : setupdata::readSectionList(ctx.settings, in.setupFilePath(), section)) {
        if (ctx.window.quitRequested()) throw RunInterrupted();
        ctx.window.setStatus(labelText);
        ctx.window.processMessages();
        const std::string script = ctx.scriptsPath + entry;
        if (!platform::fileExists(osql) || !platform::fileExists(script)) {
            ctx.log.WriteLog("Script file " + script + " or osql.exe not found");
            continue;
        }
        if (!runEntryTool(ctx, "osql.exe", osqlParameters(in, ctx.scriptsPath, entry), "", entry, errorText + entry))
            return true;
        ctx.log.WriteLog("Execute " + entry + " successfully");
    }
    return false;
}

bool CreateDatabases(StepContext& ctx, const StepInputs& in)
{
    ctx.log.WriteLog("Start creating database");
    deleteAgentJobs(ctx);
    // Both lists run whatever the first one did.
    const bool firstFailed = RunScriptList(ctx, in, "SCRIPT_2005", kCreateLabel, kCreateError);
    const bool secondFailed = RunScriptList(ctx, in, "SCRIPT_2008_ADDITIONAL", kCreateLabel, kCreateError);
    return !firstFailed && !secondFailed;
}

bool ModifyTableStructures(StepContext& ctx, const StepInputs& in)
{
    ctx.log.WriteLog("Start modify table structures.");
    const bool firstFailed = RunScriptList(ctx, in, "UPD_2005", kModifyLabel, kModifyError);
    const bool secondFailed = RunScriptList(ctx, in, "UPD_2008_ADDITIONAL", kModifyLabel, kModifyError);
    return !firstFailed && !secondFailed;
}

}  // namespace talvorin::dbwork
