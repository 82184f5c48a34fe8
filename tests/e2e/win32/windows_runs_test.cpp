// Talvorin.exe under Windows (Wine): the kit folder below the real Windows folder, the real
// registry, the Windows kit-tool stand-in as osql.exe and bcp.exe, and the SQL Server double.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/win32/server_run_kit.h"
#include "support/kit_tool_journal.h"
#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::StartsWith;

const std::string kRule(80, '-');
const char* const kJobs[] = {"ORVO_Schedule_Archive", "ORVO_Schedule_Full_Backup", "ORVO_Daily_Tx_Log_Backup"};

// The system names the program with backslashes.
std::string windowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

class WindowsRun : public ::testing::Test, protected ServerRunKit {
protected:
    // The argument string each tool received, as the command line ends with it.
    std::vector<std::string> toolCommandLines() const
    {
        std::vector<std::string> lines;
        for (const auto& run : readKitToolJournal(toolJournal)) lines.push_back(run.commandLine.value_or(""));
        return lines;
    }
};

TEST_F(WindowsRun, WorkstationSetupLogsAndEnds)
{
    const auto result = run("302", "1");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardError, "");
    std::string computer;
    const auto lines = unstampedLogLines(readFile(kitDir + "system.log"), &computer);
    EXPECT_EQ(computer, expectedComputerName());
    EXPECT_THAT(lines, ElementsAre(kRule, "Start database / table creation program", kRule,
                                   "Starting " + windowsPath(TALVORIN_BINARY), "Param 1, SetupMod    = 302",
                                   "Param 2, SvrBasePath = " + serverBase, "Param 3, InstallType = 1",
                                   "Param 4, SupportDir  = " + supportDir, "Param 5, SetupFile   = Setup.ini",
                                   "SetupMode = WS_SETUP. skip database and tables creation", kRule,
                                   "End database / table createion program", kRule));
    EXPECT_TRUE(readKitToolJournal(toolJournal).empty());
}

TEST_F(WindowsRun, TheGeneralErrorBoxIsCaptionedWithTheProgramFilesName)
{
    const std::string renamed = dir.str() + "\\VDSETUP.EXE";
    std::filesystem::copy_file(TALVORIN_BINARY, renamed);
    for (const std::string& program : {std::string(TALVORIN_BINARY), renamed}) {
        const std::string title = program == renamed ? "[Vdsetup] " : "[Talvorin] ";
        EXPECT_EQ(runProgram(program, {"three", serverBase, "1", supportDir, "Setup.ini"}, {}).standardError,
                  title + "'three' is not a valid integer value\r\n");
    }
}

TEST_F(WindowsRun, FirstInstallationAgainstTheServer)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "Secret;1=x").job(kJobs[0]).job(kJobs[2]));
    kitData("sa", "Secret;1=x", SqlDouble::address(), std::to_string(server.port()));
    const auto result = run("306", "1");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardError, "");
    EXPECT_THAT(runLines(),
                ElementsAre("SetupMode = UPG_SETUP, reading Migration status", "Start creating database",
                            "Delete previous archive schedule: Success",
                            "Delete previous backup schedule: Fail, error: [FreeTDS][SQL Server]The specified "
                            "@job_name ('ORVO_Schedule_Full_Backup') does not exist.",
                            "Delete previous backup TXLog schedule: Success", "Execute create_db.sql successfully",
                            "Execute create_tables.sql successfully",
                            "Loading code table VELMORA..COUNTRY in Country.dat completed successfully",
                            "Process completed successfully, application will be closed"));
    EXPECT_EQ(readFile(serverBase + "\\BIN\\dbsvr.ini"), "[DataMigration]\r\nMig_Done=NotDone\r\n");

    const auto logins = server.events("login");
    ASSERT_EQ(logins.size(), 2u);
    EXPECT_EQ(logins[0].at("database").get<std::string>(), "master");
    EXPECT_EQ(logins[1].at("database").get<std::string>(), "msdb");
    EXPECT_EQ(logins[0].at("password").get<std::string>(), "Secret;1=x");
    for (const auto& l : logins) EXPECT_EQ(loginChannel(l), "TLSv1.2 for the login, app Talvorin");
    EXPECT_EQ(server.events("rpc").size(), 3u);

    const std::string source = "127.0.0.1," + std::to_string(server.port());
    const auto lines = toolCommandLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_THAT(lines[0], StartsWith("\"" + kitDir + "osql.exe\""));
    EXPECT_THAT(lines[0], ::testing::EndsWith(" -S " + source + " -U sa -P Secret;1=x -i \"" + serverBase +
                                              "\\Scripts\\create_db.sql\""));
    EXPECT_THAT(lines[2], StartsWith("\"" + kitDir + "bcp.exe\""));
    EXPECT_THAT(lines[2],
                ::testing::EndsWith(" VELMORA..COUNTRY in Country.dat -m 0 -t\"\\@\\t\" -r\"\\@\\r\\n\" -q -w -S " +
                                    source + " -U sa -P Secret;1=x -e bcp.log"));
    EXPECT_TRUE(std::filesystem::exists(kitDir + "bcp.log"))
        << "bcp runs in the kit folder, not in " << readKitToolJournal(toolJournal)[2].workingDirectory;
}

// The shipped program is 32-bit: on 64-bit Windows it opens HKEY_LOCAL_MACHINE with KEY_READ
// and so sees the 32-bit view alone, as the installer that wrote the release did.
TEST_F(WindowsRun, TheReleaseIsReadFromThe32BitViewOnly)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
    installedRelease("3.0.1", KEY_WOW64_64KEY);
    run("301", "2");
    EXPECT_THAT(runLines(), Contains("Upgrade from 1.6.")) << "the 64-bit view's release is not seen";
    std::filesystem::remove(kitDir + "system.log");
    installedRelease("3.2", KEY_WOW64_32KEY);
    installedRelease("2.0", KEY_WOW64_64KEY);
    run("301", "2");
    EXPECT_THAT(runLines(), Contains("Upgrade repair from 3.2"));
}

TEST_F(WindowsRun, AQuitMessageDuringAToolStopsTheRunWithItsBanner)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
    const auto result = runTalvorin(
        {"301", serverBase, "1", supportDir, "Setup.ini"},
        {{"KIT_TOOL_JOURNAL", toolJournal}, {"TALVORIN_ODBC_DRIVER", "FreeTDS"}, {"KIT_TOOL_SLEEP_MS", "4000"}}, 60,
        [&] { return !readKitToolJournal(toolJournal).empty(); });
    EXPECT_EQ(result.exitCode, 0);
    const auto lines = log();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 2], "End database / table createion program");
    EXPECT_EQ(readKitToolJournal(toolJournal).size(), 1u) << "nothing more was started after the request";
}

}  // namespace
}  // namespace talvorin::testing
