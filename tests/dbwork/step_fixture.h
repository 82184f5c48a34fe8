#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "dbwork/database_steps.h"
#include "platform/settings_files.h"
#include "support/backend_step_window.h"
#include "support/fakes.h"
#include "support/kit_sandbox.h"
#include "support/kit_tool_install.h"
#include "support/kit_tool_journal.h"
#include "support/scoped_env.h"
#include "ui/form.h"
#include "ui/memory_backend.h"

namespace talvorin::testing {

// Collects the lines a step logs, without name and time.
class RecordingLog : public dbwork::LogSink {
public:
    std::vector<std::string> lines;
    void WriteLog(const std::string& message) override { lines.push_back(message); }
};

// A database step with the real process launcher and the kit-tool stand-in installed as
// osql.exe and bcp.exe in a kit sandbox.
class StepFixture : public ::testing::Test, protected KitSandbox {
protected:
    ui::MemoryBackend ui;
    ui::Form window{ui, "frmCreateDBInfo", "Velmora Deluxe Setup"};
    ui::Label label{window, "Label1"};
    ui::ProgressBar progress{window, "pgbProcess"};
    BackendStepWindow steps{ui, &label, &progress};
    RecordingLog log;
    FakeRegistry registry;
    FakeSqlServer sql;
    std::unique_ptr<setupdata::SqlConnection> msdb = sql.connect({});
    std::string scriptsPath, journal;
    dbwork::StepInputs in;
    // What the kit-tool stand-in reads, back as they were after the test.
    ScopedEnv toolJournal{"KIT_TOOL_JOURNAL", nullptr};
    ScopedEnv toolExitCodes{"KIT_TOOL_EXIT_CODES", nullptr};
    ScopedEnv toolSleep{"KIT_TOOL_SLEEP_MS", nullptr};

    void SetUp() override
    {
        scriptsPath = dir / "Srv/Scripts/";
        journal = dir / "journal";
        std::filesystem::create_directories(scriptsPath);
        in = {"10.0.0.1", "1433", "sa", "p w", dir / "Support/", "setup.ini"};
        toolJournal.set(journal);
    }

    void installTool(const std::string& name) { installKitToolStandin(kitDir + name); }
    void setupFile(const std::string& text) { writeFile(in.setupFilePath(), text); }
    void exitCodes(const std::string& rules) { toolExitCodes.set(rules); }

    dbwork::StepContext context(int installType = dbwork::kFirstInstallation)
    {
        return {steps,
                log,
                platform::systemSettingsFiles(),
                registry,
                platform::systemProcessLauncher(),
                msdb.get(),
                kitDir,
                scriptsPath,
                installType};
    }

    // The line that follows a tool's fixed failure line when the system cannot start it, with
    // the reason as the system's launcher gives it.
    std::string cannotStart(const std::string& tool) const
    {
        const std::string program = kitDir + tool;
        return "Cannot start " + program + ": " +
               platform::systemProcessLauncher().start({program, "", "", {}}).failure;
    }

    std::vector<KitToolRun> runs() const { return readKitToolJournal(journal); }
    // The journal once it holds n runs: a tool left running may not have written yet.
    std::vector<KitToolRun> awaitRuns(std::size_t n) const
    {
        for (int i = 0; i < 500 && runs().size() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return runs();
    }
    std::vector<std::string> scriptsRun() const
    {
        std::vector<std::string> out;
        for (const auto& r : runs()) out.push_back(std::filesystem::path(r.args.back()).filename().string());
        return out;
    }
};

}  // namespace talvorin::testing
