#include "dbwork/database_steps.h"
#include "dbwork/step_tool.h"
#include "formats/ascii.h"
#include "setupdata/installed_version.h"
#include "setupdata/setup_files.h"

namespace talvorin::dbwork {
namespace {

// Data of an older desktop release may be migrated from version 1.6 on.
bool migrationAllowed(StepContext& ctx)
{
    std::string serverPath, version;
    if (!setupdata::GetLegacyVersion(ctx.registry, serverPath, version)) return false;
    if (setupdata::ordinalLess(formats::upperAsciiText(version), "1.6")) {
        ctx.log.WriteLog("Orvo " + version + " was detected. Which was NOT allowed to migrate.");
        ctx.log.WriteLog("Reset migration flag to false and skip data migration process.");
        return false;
    }
    return true;
}

}  // namespace

bool LoadCodeTables(StepContext& ctx, const StepInputs& in)
{
    const bool migrate = migrationAllowed(ctx);
    ctx.window.setStatus("Preparing to load code tables ...");
    const char* section = migrate                                 ? "CODE_TABLE_MIGRATE"
                          : ctx.installType == kFirstInstallation ? "CODE_TABLE"
                                                                  : "CODE_TABLE_UPGRADE_REPAIR";
    bool ok = true;
    for (const std::string& entry : setupdata::readSectionList(ctx.settings, in.setupFilePath(), section)) {
        ctx.window.setProgress(0);
        ctx.window.setStatus("Loading code tables ...");
        ctx.window.processMessages();
        if (!runEntryTool(ctx, "bcp.exe", bcpParameters(in, entry), ctx.kitDir, entry,
                          "Error loading code table " + entry)) {
            ok = false;
        } else {
            ctx.log.WriteLog("Loading code table " + entry + " completed successfully");
        }
    }
    return ok;
}

}  // namespace talvorin::dbwork
