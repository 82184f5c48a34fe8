#pragma once

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/settings_files.h"
#include "platform/system_info.h"
#include "setupdata/sql_server.h"

namespace talvorin::app {

// Everything outside the program that the run talks to; the real machine in the
// program, fakes or sandboxes in tests.
struct Services {
    platform::SystemInfo& system;
    platform::Clock& clock;
    platform::SettingsFiles& settings;
    platform::Registry& registry;
    platform::ProcessLauncher& processes;
    setupdata::SqlServerClient& sql;
};

}  // namespace talvorin::app
