#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "run_fixture.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAreArray;

const std::vector<std::string> kJobsDeleted = {
    "Delete previous archive schedule: Success",
    "Delete previous backup schedule: Success",
    "Delete previous backup TXLog schedule: Success",
};

class SetupRun : public RunFixture {};

TEST_F(SetupRun, WrongParameterCountIsReportedAndEndsTheRun)
{
    for (const std::vector<std::string>& p :
         {std::vector<std::string>{"301", "C:\\Srv", "1", "C:\\Sup"},
          std::vector<std::string>{"301", "C:\\Srv", "1", "C:\\Sup", "s.ini", "extra"}}) {
        std::filesystem::remove(kitDir + "system.log");
        ui.boxes.clear();
        EXPECT_THAT(run(p), ElementsAreArray(framed(startLines(p))));
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].box.caption, "Information");
        EXPECT_EQ(ui.boxes[0].box.text,
                  "Wrong Parameters.\n\rCorrect format: Talvorin.exe <Setup Mode> <Server Base Path> "
                  "<Install Type> <Support Dir> <Setup File>");
    }
    EXPECT_TRUE(sql.connects.empty());
}

TEST_F(SetupRun, WorkstationSetupEndsWithoutReadingTheKitOrAsking)
{
    const auto p = params("302", "1");
    EXPECT_THAT(run(p), ElementsAreArray(framed(
                            concat(startLines(p), {"SetupMode = WS_SETUP. skip database and tables creation"}))));
    EXPECT_TRUE(ui.modalShowings.empty());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(sql.connects.empty());
}

TEST_F(SetupRun, FirstInstallationCreatesAndLoads)
{
    kitData("sa", "secret", "192.168.1.20", "1433");
    placeScripts({"a.sql", "b.sql", "c.sql"});
    writeSetupFile("[SCRIPT_2005]\r\n1=a.sql\r\n2=b.sql\r\n[SCRIPT_2008_ADDITIONAL]\r\n1=c.sql\r\n"
                   "[CODE_TABLE]\r\n1=DB..T1 in T1.txt\r\n[CODE_TABLE_UPGRADE_REPAIR]\r\n1=wrong\r\n");
    const auto p = params("301", "1");
    EXPECT_THAT(run(p), ElementsAreArray(framed(concat(
                            concat(startLines(p), {"Start creating database"}),
                            concat(kJobsDeleted, {"Execute a.sql successfully", "Execute b.sql successfully",
                                                  "Execute c.sql successfully",
                                                  "Loading code table DB..T1 in T1.txt completed successfully",
                                                  "Process completed successfully, application will be closed"})))));

    ASSERT_EQ(sql.connects.size(), 2u);
    EXPECT_EQ(sql.connects[0].dataSource, "192.168.1.20,1433");
    EXPECT_EQ(sql.connects[0].catalog, "master");
    EXPECT_EQ(sql.connects[0].connectTimeoutSeconds, 60);
    EXPECT_EQ(sql.connects[0].commandTimeoutSeconds, 300);
    EXPECT_EQ(sql.connects[1].catalog, "msdb");
    EXPECT_EQ(sql.connects[1].connectTimeoutSeconds, 15);
    EXPECT_EQ(sql.connects[1].commandTimeoutSeconds, 30);
    EXPECT_EQ(sql.connects[1].user, "sa");
    EXPECT_EQ(sql.connects[1].password, "secret");
    EXPECT_EQ(sql.deletedJobs, (std::vector<std::string>{"ORVO_Schedule_Archive", "ORVO_Schedule_Full_Backup",
                                                         "ORVO_Daily_Tx_Log_Backup"}));
    ASSERT_EQ(tools.starts.size(), 4u);
    EXPECT_EQ(tools.starts[0].program, kitDir + "osql.exe");
    EXPECT_EQ(tools.starts[0].parameters,
              " -S 192.168.1.20,1433 -U sa -P secret -i \"" + serverBase + nativePath("/Scripts/a.sql") + "\"");
    EXPECT_EQ(tools.starts[0].workingDirectory, "");
    EXPECT_EQ(tools.starts[3].program, kitDir + "bcp.exe");
    EXPECT_EQ(tools.starts[3].parameters, " DB..T1 in T1.txt -m 0 -t\"\\@\\t\" -r\"\\@\\r\\n\" -q -w -S "
                                          "192.168.1.20,1433 -U sa -P secret -e bcp.log");
    EXPECT_EQ(tools.starts[3].workingDirectory, kitDir);
    EXPECT_FALSE(ui.labelTexts.empty());
    EXPECT_EQ(ui.labelTexts.back().text, "Loading code tables ...");
}

TEST_F(SetupRun, FailedCreationSkipsCodeTablesAndSaysSoAtTheEnd)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    placeScripts({"a.sql"});
    writeSetupFile("[SCRIPT_2005]\r\n1=a.sql\r\n[CODE_TABLE]\r\n1=T1\r\n");
    tools.exitCodes = {{"a.sql", 1}};
    const auto lines = run(params("301", "1"));
    const std::vector<std::string> tail(lines.end() - 6, lines.end() - 3);
    EXPECT_THAT(tail,
                ElementsAreArray({std::string(kStamp) + "Error creating database.[sqlcmd failed] a.sql",
                                  std::string(kStamp) + "First install (1). Error creating databases and tables",
                                  std::string(kStamp) + "Process completed with errors, application will be closed"}));
    EXPECT_EQ(tools.starts.size(), 1u) << "no code table may load after a failed creation";
}

TEST_F(SetupRun, FailedCodeTableOnFirstInstallation)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    writeSetupFile("[CODE_TABLE]\r\n1=T1\r\n2=T2\r\n");
    tools.exitCodes = {{" T1 ", 3}};
    const auto lines = run(params("301", "1"));
    const std::vector<std::string> tail(lines.end() - 6, lines.end() - 3);
    EXPECT_THAT(tail, ElementsAreArray(
                          {std::string(kStamp) + "Loading code table T2 completed successfully",
                           std::string(kStamp) +
                               "Error occurs during loading code tables. Please refer to the above log for details",
                           std::string(kStamp) + "Process completed with errors, application will be closed"}));
}

TEST_F(SetupRun, UpgradeBelowThreeRunsLikeAFirstInstallation)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    writeSetupFile("[CODE_TABLE]\r\n1=first\r\n[CODE_TABLE_UPGRADE_REPAIR]\r\n1=T9\r\n");
    // 10.0 sorts below 3.0 by character code, and so counts as older.
    registry.keys["\\SOFTWARE\\QUORVANTA\\ORVO3"] = {{"Version", "10.0"}, {"ServerPath", "C:\\Srv"}};
    const auto p = params("301", "2");
    EXPECT_THAT(run(p), ElementsAreArray(framed(concat(
                            concat(startLines(p), {"Upgrade from 1.6.", "Start creating database"}),
                            concat(kJobsDeleted, {"Loading code table T9 completed successfully",
                                                  "Process completed successfully, application will be closed"})))));
}

TEST_F(SetupRun, UpgradeRepairModifiesStructuresThenReloads)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    placeScripts({"u1.sql"});
    writeSetupFile("[UPD_2005]\r\n1=u1.sql\r\n[CODE_TABLE_UPGRADE_REPAIR]\r\n1=T9\r\n");
    registry.keys["\\SOFTWARE\\QUORVANTA\\ORVO3"] = {{"Version", "3.0.1"}};
    const auto p = params("301", "0");
    EXPECT_THAT(run(p), ElementsAreArray(framed(concat(
                            startLines(p), {"Upgrade repair from 3.0.1", "Start modify table structures.",
                                            "Execute u1.sql successfully", "Table structures modified successfully.",
                                            "Loading code table T9 completed successfully",
                                            "Process completed successfully, application will be closed"}))));
    EXPECT_TRUE(sql.deletedJobs.empty());
}

TEST_F(SetupRun, FailedStructureUpgradeLoadsNoCodeTables)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    placeScripts({"u1.sql", "u2.sql", "x.sql"});
    writeSetupFile("[UPD_2005]\r\n1=u1.sql\r\n2=u2.sql\r\n[UPD_2008_ADDITIONAL]\r\n1=x.sql\r\n"
                   "[CODE_TABLE_UPGRADE_REPAIR]\r\n1=T9\r\n");
    registry.keys["\\SOFTWARE\\QUORVANTA\\ORVO3"] = {{"Version", "4.0"}};
    tools.exitCodes = {{"u1.sql", 1}};
    const auto p = params("301", "2");
    EXPECT_THAT(run(p), ElementsAreArray(framed(
                            concat(startLines(p), {"Upgrade repair from 4.0", "Start modify table structures.",
                                                   "Error modify table structure.[sqlcmd failed] u1.sql",
                                                   "Execute x.sql successfully", "Fail to modify table structures.",
                                                   "Process completed with errors, application will be closed"}))));
}

TEST_F(SetupRun, EveryUpgradeFailureHasItsOwnSummaryLine)
{
    struct Case {
        const char* version;  // the installed release
        const char* failing;  // the tool run that fails
        const char* summary;
    };
    const Case cases[] = {
        {"2.5", "a.sql", "Upgrade from 1.6. Database creation error"},
        {"2.5", " T9 ", "Upgrade from 1.6. Error loading code tables"},
        {"3.1", " T9 ", "Error occurs during upgrade/repair code tables. Please refer to the above log for details"},
    };
    kitData("sa", "pw", "10.0.0.1", "1433");
    placeScripts({"a.sql", "u1.sql"});
    writeSetupFile("[SCRIPT_2005]\r\n1=a.sql\r\n[UPD_2005]\r\n1=u1.sql\r\n[CODE_TABLE_UPGRADE_REPAIR]\r\n1=T9\r\n");
    for (const Case& c : cases) {
        registry.keys["\\SOFTWARE\\QUORVANTA\\ORVO3"] = {{"Version", c.version}};
        tools.exitCodes = {{c.failing, 1}};
        const auto lines = run(params("301", "2"));
        ASSERT_GE(lines.size(), 5u);
        EXPECT_EQ(lines[lines.size() - 5], std::string(kStamp) + c.summary) << c.version << c.failing;
        EXPECT_EQ(lines[lines.size() - 4],
                  std::string(kStamp) + "Process completed with errors, application will be closed");
    }
}

struct QuitCase {
    const char* name;
    const char* installType;
    const char* version;      // of the installed release
    const char* runningTool;  // the entry whose tool is running when the quit comes
    std::vector<std::string> lines;
};

void PrintTo(const QuitCase& c, std::ostream* os) { *os << c.name; }

// A quit request cannot be taken back, so each case has a run of its own.
class QuitDuringRun : public RunFixture, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(QuitDuringRun, IsLoggedAsAnInterruptionAndStartsNothingMore)
{
    const QuitCase& c = GetParam();
    kitData("sa", "pw", "10.0.0.1", "1433");
    placeScripts({"a.sql", "b.sql", "u1.sql"});
    writeSetupFile("[SCRIPT_2005]\r\n1=a.sql\r\n2=b.sql\r\n[SCRIPT_2008_ADDITIONAL]\r\n1=a.sql\r\n"
                   "[UPD_2005]\r\n1=u1.sql\r\n[CODE_TABLE]\r\n1=T1\r\n"
                   "[CODE_TABLE_UPGRADE_REPAIR]\r\n1=T8\r\n2=T9\r\n");
    registry.keys["\\SOFTWARE\\QUORVANTA\\ORVO3"] = {{"Version", c.version}};
    tools.neverEnds = c.runningTool;
    ui.onWait = [this] { ui.requestQuit(); };
    const auto p = params("301", c.installType);
    EXPECT_THAT(run(p), ElementsAreArray(
                            framed(concat(concat(startLines(p), c.lines),
                                          {"Process interrupted by a quit request, application will be closed"}))));
    ASSERT_FALSE(tools.starts.empty());
    EXPECT_NE(tools.starts.back().parameters.find(c.runningTool), std::string::npos)
        << "nothing is started after the quit";
}

INSTANTIATE_TEST_SUITE_P(
    Runs, QuitDuringRun,
    ::testing::Values(QuitCase{"FirstInstallation",
                               "1",
                               "",
                               "b.sql",
                               {"Start creating database", kJobsDeleted[0], kJobsDeleted[1], kJobsDeleted[2],
                                "Execute a.sql successfully",
                                "Interrupted by a quit request: osql.exe was left running for b.sql"}},
                      QuitCase{"UpgradeRepair",
                               "2",
                               "3.0",
                               "T8",
                               {"Upgrade repair from 3.0", "Start modify table structures.",
                                "Execute u1.sql successfully", "Table structures modified successfully.",
                                "Interrupted by a quit request: bcp.exe was left running for T8"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetupRun, QuitWhileTheDialogIsOpenEndsTheRunAsInterrupted)
{
    ui.dialogScripts.push_back([this](ui::Form&) { ui.requestQuit(); });
    const auto p = params("301", "1");
    EXPECT_THAT(run(p), ElementsAreArray(framed(concat(
                            startLines(p), {"Get SQL Server Info",
                                            "Process interrupted by a quit request, application will be closed"}))));
    EXPECT_TRUE(sql.connects.empty());
}

TEST_F(SetupRun, ConnectionFailureIsLoggedShownAndEndsTheRun)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    sql.connectError = "[FreeTDS][SQL Server]Login failed for user 'sa'.";
    const auto p = params("301", "1");
    EXPECT_THAT(run(p), ElementsAreArray(
                            framed(concat(startLines(p), {"SQL Server connection error. Application will be closed",
                                                          "[FreeTDS][SQL Server]Login failed for user 'sa'."}))));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].box.caption, "Error");
    EXPECT_EQ(ui.boxes[0].box.text, "[FreeTDS][SQL Server]Login failed for user 'sa'.");
    EXPECT_EQ(sql.connects.size(), 1u) << "msdb is not tried after master failed";
}

TEST_F(SetupRun, FailedSecondConnectionClosesTheFirst)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    sql.connectErrorByCatalog["msdb"] = "Cannot open database \"msdb\" requested by the login.";
    run(params("301", "1"));  // the fixture checks that nothing stays open
    EXPECT_EQ(sql.connects.size(), 2u);
}

TEST_F(SetupRun, AddressWithoutPortConnectsWithTheCommaAlone)
{
    writeFile(kitDir + "Orvo4.DAT", "[DB]\r\nIP address=" + setupdata::ScrambleText("10.1.1.1") + "\r\n");
    run(params("301", "1"));
    ASSERT_FALSE(sql.connects.empty());
    EXPECT_EQ(sql.connects[0].dataSource, "10.1.1.1,");
    EXPECT_EQ(sql.connects[0].user, "");
    EXPECT_TRUE(ui.modalShowings.empty());
}

TEST_F(SetupRun, DialogDeclinedTwiceThenNoEndsWithoutConnecting)
{
    kitData("sa", "pw", "", "1433");  // an empty address asks again, whatever else is there
    ui.answers = {ui::Answer::Yes, ui::Answer::No};
    const auto p = params("301", "1");
    EXPECT_THAT(run(p), ElementsAreArray(framed(concat(startLines(p), {"Get SQL Server Info"}))));
    EXPECT_EQ(ui.modalShowings.size(), 2u);
    ASSERT_EQ(ui.boxes.size(), 2u);
    for (const auto& b : ui.boxes) {
        EXPECT_EQ(b.box.caption, "Warning");
        EXPECT_EQ(b.box.buttons, ui::Buttons::YesNo);
        EXPECT_EQ(b.box.text, "Mircosoft SQL Server information setting is not completed. This will lead to "
                              "Velmora Deluxe installation error. Do you want to enter the information again?");
    }
    EXPECT_TRUE(sql.connects.empty());
}

TEST_F(SetupRun, DialogThatSavesLetsTheRunGoOnWithItsValues)
{
    ui.dialogScripts.push_back([&](ui::Form& dialog) {
        kitData("admin", "pw2", "10.9.8.7", "1500");
        dialog.setModalResult(ui::ModalResult::Ok);
    });
    run(params("301", "1"));
    ASSERT_EQ(sql.connects.size(), 2u);
    EXPECT_EQ(sql.connects[0].dataSource, "10.9.8.7,1500");
    EXPECT_EQ(sql.connects[0].user, "admin");
}

TEST_F(SetupRun, UpgradeSetupInitialisesTheMigrationStatusOnce)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    const std::string ini = serverBase + nativePath("/BIN/dbsvr.ini");
    const auto p = params("306", "1");
    const auto lines = run(p);
    EXPECT_EQ(lines[9], std::string(kStamp) + "SetupMode = UPG_SETUP, reading Migration status");
    EXPECT_EQ(lines[10], std::string(kStamp) + "Setup file " + supportDir + nativePath("/setup.ini") +
                             " does not exist: "
                             "no script or code table is listed");
    EXPECT_EQ(lines[11], std::string(kStamp) + "Start creating database") << "a first installation follows";
    EXPECT_EQ(readFile(ini), "[DataMigration]\r\nMig_Done=NotDone\r\n");

    writeFile(ini, "[DataMigration]\r\nMig_Done=Done\r\n");
    run(p);
    EXPECT_EQ(readFile(ini), "[DataMigration]\r\nMig_Done=Done\r\n");
}

TEST_F(SetupRun, SettingsFilesSavedAsUnicodeAreReadAndKeptInUnicode)
{
    // What Notepad writes when a file is saved "as Unicode": UTF-16LE after its mark.
    const auto unicode = [](const std::string& ascii) {
        std::string out = "\xFF\xFE";
        for (char c : ascii) out += std::string{c, '\0'};
        return out;
    };
    writeFile(kitDir + "Orvo4.DAT", unicode(kitDataText("sa", "pw", "10.0.0.1", "1433")));
    placeScripts({"a.sql"});
    writeSetupFile(unicode("[SCRIPT_2005]\r\n1=a.sql\r\n[CODE_TABLE]\r\n1=T1\r\n"));
    const std::string ini = serverBase + "/BIN/dbsvr.ini";
    const std::string done = unicode("[DataMigration]\r\nMig_Done=Done\r\n");
    writeFile(ini, done);

    const auto lines = run(params("306", "1"));
    EXPECT_TRUE(ui.modalShowings.empty()) << "the settings were found";
    ASSERT_EQ(sql.connects.size(), 2u);
    EXPECT_EQ(sql.connects[0].dataSource, "10.0.0.1,1433");
    ASSERT_EQ(tools.starts.size(), 2u) << "the script and the code table";
    EXPECT_EQ(lines[lines.size() - 4],
              std::string(kStamp) + "Process completed successfully, application will be closed");
    EXPECT_EQ(readFile(ini), done);

    writeFile(ini, unicode("[DataMigration]\r\n"));
    run(params("306", "1"));
    EXPECT_EQ(readFile(ini), unicode("[DataMigration]\r\nMig_Done=NotDone\r\n"));
}

TEST_F(SetupRun, SetupModeThatIsNoNumberEndsCleanly)
{
    const auto p = params("abc", "1");
    EXPECT_THAT(run(p), ElementsAreArray(framed(
                            concat(startLines(p), {"Unexpected error: 'abc' is not a valid integer value. Application "
                                                   "will be closed"}))));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].box.caption, ui::programTitle());
    EXPECT_EQ(ui.boxes[0].box.text, "'abc' is not a valid integer value");
}

TEST_F(SetupRun, InstallTypeThatIsNoNumberEndsCleanly)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    const auto lines = run(params("301", "first"));
    EXPECT_EQ(lines[lines.size() - 4], std::string(kStamp) + "Unexpected error: 'first' is not a valid integer "
                                                             "value. Application will be closed");
    EXPECT_TRUE(sql.connects.empty());
}

TEST_F(SetupRun, ServerBasePathWithOrWithoutItsSeparatorGivesTheSamePaths)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    placeScripts({"a.sql"});
    writeSetupFile("[SCRIPT_2005]\r\n1=a.sql\r\n");
    auto withSeparator = params("306", "1");
    withSeparator[1] += platform::kDirSeparator;
    run(params("306", "1"));
    run(withSeparator);
    ASSERT_EQ(tools.starts.size(), 2u);
    EXPECT_EQ(tools.starts[0].parameters, tools.starts[1].parameters);
    EXPECT_NE(tools.starts[0].parameters.find(serverBase + nativePath("/Scripts/a.sql") + "\""), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(serverBase + nativePath("/BIN/dbsvr.ini")));
}

TEST_F(SetupRun, UnwritableMigrationStatusEndsCleanly)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    std::filesystem::remove_all(serverBase + nativePath("/BIN"));  // nowhere to write dbsvr.ini
    const auto lines = run(params("306", "1"));
    ASSERT_GE(lines.size(), 5u);
    const std::string file = serverBase + nativePath("/BIN/dbsvr.ini");
    EXPECT_EQ(lines[lines.size() - 5],
              std::string(kStamp) + "Unexpected error: Unable to write to " + file + ". Application will be closed");
    // Then the system's reason.
    const std::string reason = std::string(kStamp) + "Cannot write " + file + ": ";
    ASSERT_GT(lines[lines.size() - 4].size(), reason.size());
    EXPECT_EQ(lines[lines.size() - 4].substr(0, reason.size()), reason);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].box.text,
              "Unable to write to " + file + "\r\n" + lines[lines.size() - 4].substr(std::strlen(kStamp)));
}

TEST_F(SetupRun, RegistryValueOfTheWrongTypeEndsCleanly)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    registry.keys["\\SOFTWARE\\QUORVANTA\\ORVO3"] = {{"Version", std::nullopt}};
    const auto lines = run(params("301", "2"));
    EXPECT_EQ(lines[lines.size() - 4], std::string(kStamp) + "Unexpected error: Invalid data type for 'Version'. "
                                                             "Application will be closed");
}

TEST_F(SetupRun, LogThatCannotBeWrittenIsShownAndTheProgramEnds)
{
    std::filesystem::remove_all(kitDir);
    run(params("301", "1"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].box.caption, ui::programTitle());
    EXPECT_NE(ui.boxes[0].box.text.find("system.log"), std::string::npos) << ui.boxes[0].box.text;
    EXPECT_TRUE(sql.connects.empty());
}

TEST_F(SetupRun, ProgressBarMovesWhileTheRunWaits)
{
    kitData("sa", "pw", "10.0.0.1", "1433");
    ui.timePerProcessMessages = std::chrono::milliseconds(100);
    run(params("301", "1"));
    // Timer1 ticks advance the bar, and it is set to its maximum after connecting.
    bool advanced = false, full = false;
    for (const auto& p : ui.progress) {
        advanced |= p.control == "pgbProcess" && p.position > 0 && p.position < 100;
        full |= p.control == "pgbProcess" && p.position == 100;
    }
    EXPECT_TRUE(advanced);
    EXPECT_TRUE(full);
}

}  // namespace
}  // namespace talvorin::testing
