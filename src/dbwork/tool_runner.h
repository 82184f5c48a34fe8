#pragma once

#include <string>

#include "dbwork/step_window.h"
#include "platform/process.h"

namespace talvorin::dbwork {

// What RunTool returns when the application was asked to quit before the tool ended.
inline constexpr int kStillActive = 259;
// What it returns when the tool could not be started.
inline constexpr int kNotStarted = -1;

// Runs a kit tool hidden and waits for it while the window stays alive: pending messages
// are handled and the progress timer keeps moving, but the wait sleeps until the tool
// ends. Returns the tool's exit code, kNotStarted, or kStillActive once a quit has been
// requested (then nothing more is started, and a running tool is left to finish alone).
// When the tool could not be started and whyNotStarted is given, it receives the system's
// reason in the system's own words.
int RunTool(StepWindow& window, platform::ProcessLauncher& launcher, const std::string& program,
            const std::string& parameters, const std::string& workingDirectory, std::string* whyNotStarted = nullptr);

}  // namespace talvorin::dbwork
