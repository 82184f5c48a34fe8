// Talvorin.exe under Windows (Wine): the kit folder below the real Windows folder, the real
// registry, the Windows kit-tool stand-in as osql.exe and bcp.exe, and the SQL Server double.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/program_run.h"
#include "platform/win32/windows_api.h"
#include "setupdata/scramble.h"
#include "support/fakes.h"
#include "support/kit_tool_journal.h"
#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kRule(80, '-');
const char* const kJobs[] = {"ORVO_Schedule_Archive", "ORVO_Schedule_Full_Backup", "ORVO_Daily_Tx_Log_Backup"};
constexpr const char* kReleaseKey = "SOFTWARE\\QUORVANTA\\ORVO3";

std::string windowsDirectory()
{
    char buffer[MAX_PATH] = {};
    const UINT n = ::GetWindowsDirectoryA(buffer, sizeof buffer);
    return std::string(buffer, n);
}

// The system names the program with backslashes.
std::string windowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

class WindowsRun : public ::testing::Test {
protected:
    TempDir dir;
    // Every program of the prefix shares this kit folder: the runs take turns (ctest lock).
    const std::string kitDir = windowsDirectory() + "\\MigKit4\\";
    const std::string serverBase = dir.str() + "\\Velmora Server";
    const std::string supportDir = dir.str() + "\\Support";
    const std::string toolJournal = dir.str() + "\\tools.journal";

    void SetUp() override
    {
        removeSharedKitFolder(kitDir);
        std::filesystem::create_directories(kitDir);
        std::filesystem::create_directories(serverBase + "\\BIN");
        std::filesystem::copy_file(KIT_TOOL_STANDIN, kitDir + "osql.exe");
        std::filesystem::copy_file(KIT_TOOL_STANDIN, kitDir + "bcp.exe");
        for (const char* s : {"create_db.sql", "create_tables.sql", "upd_1.sql"})
            writeFile(make(serverBase + "\\Scripts\\" + s), "-- " + std::string(s) + "\r\n");
        writeFile(make(supportDir + "\\Setup.ini"),
                  "[SCRIPT_2005]\r\n1=create_db.sql\r\n2=create_tables.sql\r\n[UPD_2005]\r\n1=upd_1.sql\r\n"
                  "[CODE_TABLE]\r\n1=VELMORA..COUNTRY in Country.dat\r\n"
                  "[CODE_TABLE_UPGRADE_REPAIR]\r\n1=VELMORA..PORT in Port.dat\r\n");
        forgetRelease();
    }
    void TearDown() override
    {
        forgetRelease();
        std::error_code ignored;
        std::filesystem::remove_all(kitDir, ignored);
    }

    static void forgetRelease()
    {
        for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kReleaseKey, view, 0);
    }

    static std::string make(const std::string& path)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        return path;
    }

    // The application's 32-bit installer writes the 32-bit view (Wow6432Node on 64-bit Windows).
    void installedRelease(const std::string& version, REGSAM view = KEY_WOW64_32KEY)
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kReleaseKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                                    &key, nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                         static_cast<DWORD>(version.size() + 1));
        ::RegCloseKey(key);
    }

    void kitData(const std::string& user, const std::string& password, const std::string& address,
                 const std::string& port)
    {
        using setupdata::ScrambleText;
        writeFile(kitDir + "Orvo4.DAT", "[DB]\r\nUser=" + ScrambleText(user) + "\r\nPassword=" +
                                            ScrambleText(password) + "\r\nIP address=" + ScrambleText(address) +
                                            "\r\nPort=" + ScrambleText(port) + "\r\n");
    }

    ProgramResult run(const std::string& mode, const std::string& installType)
    {
        return runTalvorin({mode, serverBase, installType, supportDir, "Setup.ini"},
                           {{"KIT_TOOL_JOURNAL", toolJournal}, {"TALVORIN_ODBC_DRIVER", "FreeTDS"}});
    }

    std::vector<std::string> log() const { return unstampedLogLines(readFile(kitDir + "system.log")); }

    // The run's own lines: after the start banner and the six start lines, before the end banner.
    std::vector<std::string> runLines() const
    {
        const auto all = log();
        if (all.size() < 12) return all;
        return {all.begin() + 9, all.end() - 3};
    }

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
    for (const auto& l : logins)
        EXPECT_EQ(loginChannel(l), "TLSv1.2 for the login, app Talvorin");
    EXPECT_EQ(server.events("rpc").size(), 3u);

    const std::string source = "127.0.0.1," + std::to_string(server.port());
    const auto lines = toolCommandLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_THAT(lines[0], StartsWith("\"" + kitDir + "osql.exe\""));
    EXPECT_THAT(lines[0], ::testing::EndsWith(" -S " + source + " -U sa -P Secret;1=x -i \"" + serverBase +
                                              "\\Scripts\\create_db.sql\""));
    EXPECT_THAT(lines[2], StartsWith("\"" + kitDir + "bcp.exe\""));
    EXPECT_THAT(lines[2], ::testing::EndsWith(" VELMORA..COUNTRY in Country.dat -m 0 -t\"\\@\\t\" -r\"\\@\\r\\n\" -q -w -S " +
                                              source + " -U sa -P Secret;1=x -e bcp.log"));
    EXPECT_TRUE(std::filesystem::exists(kitDir + "bcp.log")) << "bcp runs in the kit folder, not in "
                                                              << readKitToolJournal(toolJournal)[2].workingDirectory;
}

TEST_F(WindowsRun, UpgradeRepairReadsTheReleaseFromTheRegistryFromAServerThatForcesEncryption)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").encryption("required"));
    kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
    installedRelease("3.0.1");
    run("301", "2");
    EXPECT_THAT(runLines(), ElementsAre("Upgrade repair from 3.0.1", "Start modify table structures.",
                                        "Execute upd_1.sql successfully", "Table structures modified successfully.",
                                        "Loading code table VELMORA..PORT in Port.dat completed successfully",
                                        "Process completed successfully, application will be closed"));
    EXPECT_TRUE(server.events("rpc").empty()) << "a repair leaves the agent jobs alone";
    for (const auto& l : server.events("login"))
        EXPECT_EQ(loginChannel(l), "TLSv1.2 for the session, app Talvorin");
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

TEST_F(WindowsRun, RefusedConnectionIsLoggedAndShown)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").fault("refuse"));
    kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
    const auto result = run("301", "1");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(runLines(), ElementsAre("SQL Server connection error. Application will be closed",
                                        HasSubstr("Unable to connect")));
    EXPECT_THAT(result.standardError, StartsWith("[Error] "));
    EXPECT_THAT(result.standardError, HasSubstr("Unable to connect"));
    EXPECT_EQ(log().back(), kRule) << "the run still ends with its banner";
    EXPECT_TRUE(readKitToolJournal(toolJournal).empty());
}

// The driver stack under Wine is the host's unixODBC and FreeTDS, which loop for good on a
// long refusal: the run still ends, each call given up after its time-out (capped at 2 s
// here) and a margin.
TEST_F(WindowsRun, WhatTheServerSendsNeverHoldsTheRun)
{
    const std::string connectionError = "SQL Server connection error. Application will be closed";
    const std::string jobFailed = "Delete previous archive schedule: Fail, error: ";
    const struct {
        const char* fault;
        std::string line;
        const char* errorText;  // in that line, or on standard error after a failed connection
    } cases[] = {
        {"login-errors=1:600", connectionError, "did not answer within 4 seconds"},
        {"call-errors=1000:600", jobFailed, "[FreeTDS][SQL Server]The call failed. (1 of 1000)"},
        {"call-errors=40000:40", jobFailed, "did not answer within 4 seconds"},
        {"dead=rpc", jobFailed, "did not answer within 4 seconds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        SqlDouble server(SqlDoubleOptions().account("sa", "pw").fault(c.fault));
        kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
        std::filesystem::remove(kitDir + "system.log");
        const auto result = runTalvorin({"301", serverBase, "1", supportDir, "Setup.ini"},
                                        {{"KIT_TOOL_JOURNAL", toolJournal}, {"TALVORIN_ODBC_DRIVER", "FreeTDS"},
                                         {"TALVORIN_SQL_TIMEOUT_CAP", "2"}});
        EXPECT_EQ(result.exitCode, 0);
        const auto lines = runLines();
        const bool connectFailed = c.line == connectionError;
        ASSERT_GE(lines.size(), connectFailed ? 1u : 2u);
        EXPECT_THAT(connectFailed ? lines[0] : lines[1], StartsWith(c.line));
        EXPECT_THAT(connectFailed ? result.standardError : lines[1], HasSubstr(c.errorText));
        if (connectFailed) {  // the fixed line, then the failure's own text
            ASSERT_EQ(lines.size(), 2u);
            EXPECT_THAT(lines[1], HasSubstr(c.errorText));
        } else {
            EXPECT_EQ(lines.back(), "Process completed successfully, application will be closed");
        }
        EXPECT_EQ(log().back(), kRule) << "the run still ends with its banner";
    }
}

TEST_F(WindowsRun, AQuitMessageDuringAToolStopsTheRunWithItsBanner)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
    const auto result = runTalvorin({"301", serverBase, "1", supportDir, "Setup.ini"},
                                    {{"KIT_TOOL_JOURNAL", toolJournal},
                                     {"TALVORIN_ODBC_DRIVER", "FreeTDS"},
                                     {"KIT_TOOL_SLEEP_MS", "4000"}},
                                    60, [&] { return !readKitToolJournal(toolJournal).empty(); });
    EXPECT_EQ(result.exitCode, 0);
    const auto lines = log();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 2], "End database / table createion program");
    EXPECT_EQ(readKitToolJournal(toolJournal).size(), 1u) << "nothing more was started after the request";
}

}  // namespace
}  // namespace talvorin::testing
