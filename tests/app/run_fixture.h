#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/create_db_info.h"
#include "platform/settings_files.h"
#include "support/fakes.h"
#include "support/kit_sandbox.h"
#include "ui/memory_backend.h"

namespace talvorin::testing {

// One setup run of the main window in a kit sandbox: memory backend, fake server and tools,
// real settings files and log in the sandbox's Windows directory.
class RunFixture : public ::testing::Test, protected KitSandbox {
protected:
    static constexpr const char* kStamp = "SRV01 2026-12-07 01:55:53 ";

    FakeSystemInfo system;
    FakeClock clock;
    FakeRegistry registry;
    FakeSqlServer sql;
    FakeLauncher tools;
    ui::MemoryBackend ui;

    void SetUp() override { system.windowsDir = winDir; }

    // The kit's osql.exe and the named scripts, so the existence checks pass.
    void placeScripts(const std::vector<std::string>& scripts, bool withOsql = true)
    {
        if (withOsql) writeFile(kitDir + "osql.exe", "");
        KitSandbox::placeScripts(scripts);
    }

    void writeSetupFile(const std::string& text) { setupFile(text, "setup.ini"); }

    std::vector<std::string> params(const std::string& mode, const std::string& installType)
    {
        return {mode, serverBase, installType, supportDir, "setup.ini"};
    }

    // Runs the program's main window to its end; the log's lines.
    std::vector<std::string> run(std::vector<std::string> parameters)
    {
        app::Services services{system, clock, platform::systemSettingsFiles(), registry, tools, sql};
        app::TfrmCreateDBInfo main(ui, services, "/opt/kit/Talvorin", std::move(parameters));
        ui::Form dialog(ui, "frmSQLInfo", "SQL Server Information");
        main.setSqlInfoDialog(&dialog);
        ui.run(main);
        EXPECT_TRUE(main.isClosed());
        EXPECT_EQ(sql.openConnections, 0) << "connections left open";
        return logLines();
    }

    std::vector<std::string> logLines() { return crlfLines(readFile(logPath())); }

    // The expected log: banners around the stamped lines.
    static std::vector<std::string> framed(const std::vector<std::string>& lines)
    {
        const std::string rule(80, '-');
        std::vector<std::string> out{rule, "Start database / table creation program", rule};
        for (const auto& l : lines) out.push_back(kStamp + l);
        out.insert(out.end(), {rule, "End database / table createion program", rule});
        return out;
    }

    std::vector<std::string> startLines(const std::vector<std::string>& p) const
    {
        auto at = [&](std::size_t i) { return i < p.size() ? p[i] : std::string{}; };
        return {"Starting /opt/kit/Talvorin",      "Param 1, SetupMod    = " + at(0),
                "Param 2, SvrBasePath = " + at(1), "Param 3, InstallType = " + at(2),
                "Param 4, SupportDir  = " + at(3), "Param 5, SetupFile   = " + at(4)};
    }

    static std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b)
    {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
};

}  // namespace talvorin::testing
