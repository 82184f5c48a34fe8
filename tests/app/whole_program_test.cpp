// The whole program in one process: main window, dialog, the real ODBC client against the
// SQL Server double, the real tool runner with the kit-tool stand-ins.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/create_db_info.h"
#include "platform/host_lookup.h"
#include "platform/process.h"
#include "platform/settings_files.h"
#include "odbc/odbc_sql_server.h"
#include "setupdata/scramble.h"
#include "sqlinfo/sql_info.h"
#include "support/fakes.h"
#include "support/kit_sandbox.h"
#include "support/scoped_env.h"
#include "support/kit_tool_journal.h"
#include "support/sql_double.h"
#include "ui/memory_backend.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;

class NoHost : public platform::HostLookup {
public:
    platform::HostAddress localIPv4Address() const override { return {11001, {}}; }
};

TEST(WholeProgram, AsksForTheSettingsUntilGivenThenInstalls)
{
    const KitSandbox box;
    const TempDir& dir = box.dir;
    const std::string& kitDir = box.kitDir;
    const std::string& base = box.serverBase;
    box.installTools();
    box.placeScripts({"create.sql"});
    box.setupFile("[SCRIPT_2005]\r\n1=create.sql\r\n[CODE_TABLE]\r\n1=T1 in t1.dat\r\n");
    // The installer left the kit data file without a server address.
    writeFile(kitDir + "Orvo4.DAT", "[OPTIONS]\r\nInstallMode=1\r\n");
    const std::string& journal = box.toolJournal;
    const ScopedEnv journalVariable("KIT_TOOL_JOURNAL", journal);
    const ScopedEnv driverVariable("TALVORIN_ODBC_DRIVER", "FreeTDS");

    SqlDouble server(SqlDoubleOptions().account("admin", "S3cret").job("ORVO_Schedule_Archive"));
    FakeSystemInfo system;
    system.windowsDir = dir / "WINDOWS";
    FakeClock clock;
    FakeRegistry registry;
    NoHost host;
    const auto sql = odbc::makeOdbcSqlServerClient();
    ui::MemoryBackend ui;

    // Cancelled once; then Yes to the warning; the second showing is filled in and
    // confirmed (Yes to the confirmation).
    ui.dialogScripts.push_back([](ui::Form&) {});
    ui.dialogScripts.push_back([&](ui::Form& form) {
        auto& dlg = dynamic_cast<sqlinfo::TfrmSQLInfo&>(form);
        dlg.edtSQLIP1.setFocus();
        dlg.edtSQLIP1.type("127");  // three digits move on by themselves
        dlg.edtSQLIP2.type("0");
        dlg.edtSQLIP2.pressKey(ui::Key::Right);
        dlg.edtSQLIP3.type("0");
        dlg.edtSQLIP3.pressKey(ui::Key::Right);
        dlg.edtSQLIP4.type("1");
        dlg.edtIPPortNo.setFocus();
        dlg.edtIPPortNo.type(std::to_string(server.port()));
        dlg.edtSQLLogin.setFocus();
        dlg.edtSQLLogin.setText("admin");
        dlg.edtSQLPassword.setFocus();
        dlg.edtSQLPassword.type("S3cret");
        dlg.clickButton(dlg.btnOK);
    });
    ui.answers = {ui::Answer::Yes, ui::Answer::Yes};

    {
        app::Services services{
            system, clock, platform::systemSettingsFiles(), registry, platform::systemProcessLauncher(), *sql};
        app::TfrmCreateDBInfo main(ui, services, "/opt/kit/Talvorin", {"301", base, "1", dir / "Support", "Setup.ini"});
        sqlinfo::TfrmSQLInfo dialog(ui, {system, platform::systemSettingsFiles(), registry, host, *sql});
        main.setSqlInfoDialog(&dialog);
        ui.run(main);
        EXPECT_TRUE(main.isClosed());
    }

    ASSERT_EQ(ui.modalShowings.size(), 2u);
    EXPECT_EQ(ui.modalShowings[1].result, ui::ModalResult::Ok);
    ASSERT_GE(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].box.caption, "Warning");
    EXPECT_EQ(ui.boxes.back().box.text,
              "If you have not installed SQL Server on the machine with IP Address - [127.0.0.1], you should quit "
              "this setup and install SQL Server first. \rAre you sure to proceed?");

    const auto lines = crlfLines(readFile(kitDir + "system.log"));
    std::vector<std::string> events;
    for (const auto& l : lines)
        if (l.rfind("SRV01 ", 0) == 0) events.push_back(l.substr(std::string("SRV01 2026-12-07 01:55:53 ").size()));
    EXPECT_THAT(std::vector<std::string>(events.begin() + 6, events.end()),
                ElementsAre("Get SQL Server Info", "Start creating database",
                            "Delete previous archive schedule: Success",
                            "Delete previous backup schedule: Fail, error: [FreeTDS][SQL Server]The specified "
                            "@job_name ('ORVO_Schedule_Full_Backup') does not exist.",
                            "Delete previous backup TXLog schedule: Fail, error: [FreeTDS][SQL Server]The specified "
                            "@job_name ('ORVO_Daily_Tx_Log_Backup') does not exist.",
                            "Execute create.sql successfully", "Loading code table T1 in t1.dat completed successfully",
                            "Process completed successfully, application will be closed"));

    // What the dialog stored is what the run then used.
    auto& settings = platform::systemSettingsFiles();
    EXPECT_EQ(setupdata::ScrambleText(settings.readString(kitDir + "Orvo4.DAT", "DB", "User", "")), "admin");
    EXPECT_EQ(setupdata::ScrambleText(settings.readString(kitDir + "Orvo4.DAT", "DB", "Port", "")),
              std::to_string(server.port()));
    const auto runs = readKitToolJournal(journal);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_THAT(runs[0].args, ElementsAre("-S", server.dataSource(), "-U", "admin", "-P", "S3cret", "-i",
                                          dir / "Srv/Scripts/create.sql"));
    // The dialog's test (empty catalog, edition, master), then the run's master and msdb.
    std::vector<std::string> catalogs;
    for (const auto& login : server.events("login")) catalogs.push_back(login.at("database").get<std::string>());
    EXPECT_THAT(catalogs, ElementsAre("", "", "master", "master", "msdb"));
}

}  // namespace
}  // namespace talvorin::testing
