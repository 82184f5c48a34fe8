#include "dbwork/database_steps.h"

#include "platform/path_kind.h"
#include "setupdata/setup_files.h"

namespace talvorin::dbwork {

void LogUnusableKitInputs(StepContext& ctx, const StepInputs& in)
{
    // A setup file that cannot be read gives empty lists, and a missing osql.exe skips each
    // script: either way the run ends as if nothing were to be done, so say why once.
    const std::string setupFile = in.setupFilePath();
    const platform::PathKind setupKind = platform::pathKind(setupFile);
    if (setupKind != platform::PathKind::ReadableFile) {
        ctx.log.WriteLog("Setup file " + setupFile + " " + platform::describeProblem(setupKind) +
                         ": no script or code table is listed");
        return;
    }
    bool listsScripts = false;
    for (const char* section : {"SCRIPT_2005", "SCRIPT_2008_ADDITIONAL", "UPD_2005", "UPD_2008_ADDITIONAL"})
        listsScripts = listsScripts || !setupdata::readSectionList(ctx.settings, setupFile, section).empty();
    if (!listsScripts) return;
    const std::string osql = ctx.kitDir + "osql.exe";
    const platform::PathKind osqlKind = platform::pathKind(osql);
    if (osqlKind != platform::PathKind::ReadableFile && osqlKind != platform::PathKind::UnreadableFile)
        ctx.log.WriteLog("osql.exe " + osql + " " + platform::describeProblem(osqlKind) + ": no script can be run");
}

}  // namespace talvorin::dbwork
