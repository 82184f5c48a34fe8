#pragma once

#include <string>

#include "platform/process.h"
#include "ui/backend.h"

namespace talvorin::dbwork {

// What RunTool returns when the application was asked to quit before the tool ended.
inline constexpr int kStillActive = 259;
// What it returns when the tool could not be started.
inline constexpr int kNotStarted = -1;

// Runs a kit tool hidden and waits for it while the window stays alive: pending messages
// are handled and the progress timer keeps moving, but the wait sleeps until the tool
// ends. Returns the tool's exit code, kNotStarted, or kStillActive once a quit has been
// requested (then nothing more is started, and a running tool is left to finish alone).
int RunTool(ui::Backend& ui, platform::ProcessLauncher& launcher, const std::string& program,
            const std::string& parameters, const std::string& workingDirectory);

}  // namespace talvorin::dbwork
