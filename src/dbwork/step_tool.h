#pragma once

#include <stdexcept>
#include <string>

#include "dbwork/step_context.h"

namespace talvorin::dbwork {

// A quit request ended the database work: nothing more is started, and the run goes
// straight to its end. The step has logged the tool it left running, if any.
class RunInterrupted : public std::runtime_error {
public:
    RunInterrupted() : std::runtime_error("The run was interrupted by a quit request") {}
};

// Runs one kit tool for an entry of a step; true when it ended with 0. Otherwise it logs
// failureLine and, when the tool could not be started, a second line with the system's
// reason: "Cannot start <tool's path>: <reason>". Once a quit has been requested it starts
// nothing and throws RunInterrupted; when the quit came while the tool ran, it first logs
// that the tool was left running for the entry.
bool runEntryTool(StepContext& ctx, const std::string& toolName, const std::string& parameters,
                  const std::string& workingDirectory, const std::string& entry, const std::string& failureLine);

}  // namespace talvorin::dbwork
