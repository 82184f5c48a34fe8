#pragma once

#include <string>

#include "dbwork/step_context.h"
#include "dbwork/step_tool.h"

namespace talvorin::dbwork {

// Every step throws RunInterrupted once a quit has been requested, instead of starting its
// next tool (see step_tool.h).

// Removes the old agent jobs, then runs the creation scripts of "SCRIPT_2005" and
// "SCRIPT_2008_ADDITIONAL". True when no script run failed.
bool CreateDatabases(StepContext& ctx, const StepInputs& in);

// Runs the upgrade scripts of "UPD_2005" and "UPD_2008_ADDITIONAL". True when no run failed.
bool ModifyTableStructures(StepContext& ctx, const StepInputs& in);

// Loads the code tables of the section that fits the run through bcp.exe. True when
// every load succeeded.
bool LoadCodeTables(StepContext& ctx, const StepInputs& in);

// Logs one line naming the setup file when it cannot be read (missing, a folder, ...), or
// else osql.exe when it is no file and the setup file lists scripts: both make the run do
// nothing without a failure line.
void LogUnusableKitInputs(StepContext& ctx, const StepInputs& in);

// Runs one section of the setup file through osql.exe, stopping at the first failed run.
// Returns true when a run failed.
bool RunScriptList(StepContext& ctx, const StepInputs& in, const std::string& section, const std::string& labelText,
                   const std::string& errorText);

// The argument strings the kit tools are given, character for character.
std::string osqlParameters(const StepInputs& in, const std::string& scriptsPath, const std::string& entry);
std::string bcpParameters(const StepInputs& in, const std::string& entry);

}  // namespace talvorin::dbwork
