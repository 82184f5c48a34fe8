#pragma once

#include <string>

#include "platform/process.h"
#include "platform/registry.h"
#include "platform/settings_files.h"
#include "dbwork/step_window.h"
#include "setupdata/sql_server.h"

namespace talvorin::dbwork {

// Where the database steps write their events: the setup log.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void WriteLog(const std::string& message) = 0;
};

// Install types the run passes on.
inline constexpr int kFirstInstallation = 1;
inline constexpr int kUpgrade = 2;

// What the database steps use of the run and of the main window.
struct StepContext {
    StepWindow& window;
    LogSink& log;
    const platform::SettingsFiles& settings;
    const platform::Registry& registry;
    platform::ProcessLauncher& processes;
    setupdata::SqlConnection* msdb;  // the run's connection to msdb, for the agent jobs
    std::string kitDir;              // ends in a separator
    std::string scriptsPath;         // ends in a separator
    int installType = kFirstInstallation;
};

// The server settings and setup file every step is given.
struct StepInputs {
    std::string address, port, login, password;
    std::string supportDir;  // ends in a separator
    std::string setupFile;

    std::string setupFilePath() const { return supportDir + setupFile; }
};

}  // namespace talvorin::dbwork
