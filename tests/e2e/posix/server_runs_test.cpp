// The built program against the SQL Server test double and the kit-tool stand-ins: what it
// logs, what reaches the server and how the tools are started.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "e2e/program_run.h"
#include "setupdata/scramble.h"
#include "support/fakes.h"
#include "support/kit_tool_journal.h"
#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::string kRule(80, '-');
const char* const kJobs[] = {"ORVO_Schedule_Archive", "ORVO_Schedule_Full_Backup", "ORVO_Daily_Tx_Log_Backup"};

class ServerRun : public ::testing::Test {
protected:
    TempDir dir;
    std::string winDir, kitDir, serverBase, supportDir, registryFile, toolJournal;

    void SetUp() override
    {
        winDir = dir.str() + "/WINDOWS";
        kitDir = winDir + "/MigKit4/";
        serverBase = dir.str() + "/Srv";
        supportDir = dir.str() + "/Support";
        registryFile = dir.str() + "/machine.reg";
        toolJournal = dir.str() + "/tools.journal";
        std::filesystem::create_directories(kitDir);
        std::filesystem::create_directories(serverBase + "/BIN");
        std::filesystem::create_symlink(KIT_TOOL_STANDIN, kitDir + "osql.exe");
        std::filesystem::create_symlink(KIT_TOOL_STANDIN, kitDir + "bcp.exe");
        for (const char* s : {"create_db.sql", "create_tables.sql", "extra.sql", "upd_1.sql", "upd_2.sql"})
            writeFile(serverBase + "/Scripts/" + s, "-- " + std::string(s) + "\n");
        writeFile(supportDir + "/Setup.ini",
                  "[SCRIPT_2005]\r\n1=create_db.sql\r\n2=create_tables.sql\r\n[SCRIPT_2008_ADDITIONAL]\r\n"
                  "1=extra.sql\r\n[UPD_2005]\r\n1=upd_1.sql\r\n[UPD_2008_ADDITIONAL]\r\n1=upd_2.sql\r\n"
                  "[CODE_TABLE]\r\n1=VELMORA..COUNTRY in Country.dat\r\n2=VELMORA..PORT in Port.dat\r\n"
                  "[CODE_TABLE_UPGRADE_REPAIR]\r\n1=VELMORA..PORT in Port.dat\r\n");
        registry("");
    }

    void registry(const std::string& keys)
    {
        writeFile(registryFile, "Windows Registry Editor Version 5.00\r\n\r\n" + keys);
    }

    void kitData(const std::string& user, const std::string& password, const std::string& address,
                 const std::string& port)
    {
        using setupdata::ScrambleText;
        writeFile(kitDir + "Orvo4.DAT", "[DB]\r\nUser=" + ScrambleText(user) + "\r\nPassword=" +
                                            ScrambleText(password) + "\r\nIP address=" + ScrambleText(address) +
                                            "\r\nPort=" + ScrambleText(port) + "\r\n");
    }

    ProgramResult run(const std::string& installType)
    {
        return runTalvorin({"301", serverBase, installType, supportDir, "Setup.ini"},
                           {{"WINDIR", winDir},
                            {"TALVORIN_REGISTRY", registryFile},
                            {"KIT_TOOL_JOURNAL", toolJournal},
                            {"TALVORIN_ODBC_DRIVER", "FreeTDS"}});
    }

    std::vector<std::string> log() const { return unstampedLogLines(readFile(kitDir + "system.log")); }

    // The run's own lines: after the start banner and the six start lines, before the end banner.
    std::vector<std::string> runLines() const
    {
        const auto all = log();
        if (all.size() < 12) return all;
        return {all.begin() + 9, all.end() - 3};
    }

    std::vector<std::string> toolArgs(std::size_t run) const { return readKitToolJournal(toolJournal).at(run).args; }
};

// The agent jobs the double received, with each parameter as NULL or its value.
std::vector<std::string> deletions(const SqlDouble& server)
{
    std::vector<std::string> out;
    for (const auto& rpc : server.events("rpc")) {
        std::string call = rpc.at("procedure").get<std::string>() + "(";
        for (const auto& p : rpc.at("params"))
            call += (p.at("null").get<bool>() ? std::string("NULL") : p.at("value").get<std::string>()) + ",";
        out.push_back(call + ")");
    }
    return out;
}

std::string deletion(const std::string& job) { return "sp_delete_job(NULL," + job + ",NULL,NULL,NULL,)"; }

TEST_F(ServerRun, FirstInstallationWithAllJobsPresent)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "Secret1").job(kJobs[0]).job(kJobs[1]).job(kJobs[2]));
    kitData("sa", "Secret1", SqlDouble::address(), std::to_string(server.port()));
    const auto result = run("1");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardError, "");
    EXPECT_THAT(runLines(),
                ElementsAre("Start creating database", "Delete previous archive schedule: Success",
                            "Delete previous backup schedule: Success", "Delete previous backup TXLog schedule: Success",
                            "Execute create_db.sql successfully", "Execute create_tables.sql successfully",
                            "Execute extra.sql successfully",
                            "Loading code table VELMORA..COUNTRY in Country.dat completed successfully",
                            "Loading code table VELMORA..PORT in Port.dat completed successfully",
                            "Process completed successfully, application will be closed"));

    const auto logins = server.events("login");
    ASSERT_EQ(logins.size(), 2u);
    EXPECT_EQ(logins[0].at("database").get<std::string>(), "master");
    EXPECT_EQ(logins[1].at("database").get<std::string>(), "msdb");
    for (const auto& l : logins) {
        EXPECT_EQ(l.at("user").get<std::string>(), "sa");
        EXPECT_EQ(l.at("password").get<std::string>(), "Secret1");
        EXPECT_TRUE(l.at("ok").get<bool>());
        EXPECT_EQ(loginChannel(l), "TLSv1.2 for the login, app Talvorin");
    }
    EXPECT_THAT(deletions(server), ElementsAre(deletion(kJobs[0]), deletion(kJobs[1]), deletion(kJobs[2])));
    for (const auto& rpc : server.events("rpc")) {
        const auto& params = rpc.at("params");
        ASSERT_EQ(params.size(), 5u);
        EXPECT_EQ(params[0].at("type").get<std::string>(), "uniqueidentifier");
        EXPECT_EQ(params[1].at("type").get<std::string>(), "nvarchar");
        EXPECT_EQ(params[3].at("type").get<std::string>(), "bit");
    }
    EXPECT_TRUE(server.events("batch").empty()) << "the job deletions are procedure calls, not text";

    const auto runs = readKitToolJournal(toolJournal);
    ASSERT_EQ(runs.size(), 5u);
    const std::string source = "127.0.0.1," + std::to_string(server.port());
    EXPECT_THAT(runs[0].args, ElementsAre("-S", source, "-U", "sa", "-P", "Secret1", "-i",
                                          serverBase + "/Scripts/create_db.sql"));
    EXPECT_EQ(runs[3].program, "bcp.exe");
    EXPECT_THAT(runs[3].args, ElementsAre("VELMORA..COUNTRY", "in", "Country.dat", "-m", "0", "-t\\@\\t",
                                          "-r\\@\\r\\n", "-q", "-w", "-S", source, "-U", "sa", "-P", "Secret1", "-e",
                                          "bcp.log"));
    EXPECT_TRUE(std::filesystem::exists(kitDir + "bcp.log"));
}

TEST_F(ServerRun, FirstInstallationWithSomeJobsMissing)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").job(kJobs[1]));
    kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
    run("1");
    const auto lines = runLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_THAT(std::vector<std::string>(lines.begin(), lines.begin() + 4),
                ElementsAre("Start creating database",
                            "Delete previous archive schedule: Fail, error: [FreeTDS][SQL Server]The specified "
                            "@job_name ('ORVO_Schedule_Archive') does not exist.",
                            "Delete previous backup schedule: Success",
                            "Delete previous backup TXLog schedule: Fail, error: [FreeTDS][SQL Server]The specified "
                            "@job_name ('ORVO_Daily_Tx_Log_Backup') does not exist."));
    EXPECT_EQ(lines.back(), "Process completed successfully, application will be closed");
    EXPECT_THAT(deletions(server), ElementsAre(deletion(kJobs[0]), deletion(kJobs[1]), deletion(kJobs[2])));
}

TEST_F(ServerRun, UpgradeFromOneSixAgainstAServerThatForcesEncryption)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").encryption("required"));
    kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
    registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVANTA\\ORVO3]\r\n\"Version\"=\"1.6\"\r\n"
             "\"ServerPath\"=\"C:\\\\Orvo3\"\r\n");
    run("2");
    const auto lines = runLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Upgrade from 1.6.");
    EXPECT_EQ(lines[1], "Start creating database");
    EXPECT_EQ(lines.back(), "Process completed successfully, application will be closed");
    EXPECT_EQ(lines[lines.size() - 2], "Loading code table VELMORA..PORT in Port.dat completed successfully")
        << "an upgrade loads the upgrade-or-repair list";
    EXPECT_EQ(server.events("rpc").size(), 3u);
    for (const auto& l : server.events("login"))
        EXPECT_EQ(loginChannel(l), "TLSv1.2 for the session, app Talvorin");
}

TEST_F(ServerRun, UpgradeRepair)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
    registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVANTA\\ORVO3]\r\n\"Version\"=\"3.0.1\"\r\n");
    run("2");
    EXPECT_THAT(runLines(), ElementsAre("Upgrade repair from 3.0.1", "Start modify table structures.",
                                        "Execute upd_1.sql successfully", "Execute upd_2.sql successfully",
                                        "Table structures modified successfully.",
                                        "Loading code table VELMORA..PORT in Port.dat completed successfully",
                                        "Process completed successfully, application will be closed"));
    EXPECT_TRUE(server.events("rpc").empty()) << "a repair leaves the agent jobs alone";
    EXPECT_EQ(server.events("login").size(), 2u);
}

TEST_F(ServerRun, ConnectionRefused)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").fault("refuse"));
    kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
    const auto result = run("1");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(runLines(), ElementsAre("SQL Server connection error. Application will be closed",
                                        ::testing::HasSubstr("Unable to connect")));
    EXPECT_THAT(result.standardError, ::testing::StartsWith("[Error] "));
    EXPECT_THAT(result.standardError, ::testing::HasSubstr("Unable to connect"));
    EXPECT_TRUE(readKitToolJournal(toolJournal).empty());
}

TEST_F(ServerRun, LoginRefused)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "right"));
    kitData("sa", "wrong", SqlDouble::address(), std::to_string(server.port()));
    const auto result = run("1");
    EXPECT_THAT(runLines(), ElementsAre("SQL Server connection error. Application will be closed",
                                        ::testing::HasSubstr("Login failed for user 'sa'.")));
    EXPECT_THAT(result.standardError, ::testing::StartsWith("[Error] "));
    EXPECT_THAT(result.standardError, ::testing::HasSubstr("Login failed for user 'sa'."));
    const auto logins = server.events("login");
    ASSERT_EQ(logins.size(), 1u) << "msdb is not tried after master failed";
    EXPECT_FALSE(logins[0].at("ok").get<bool>());
}

// A server that would hold the run for good (the driver stack loops on a long refusal,
// a dead server is waited for twice): the run still ends, each call given up after its
// time-out (capped at 2 s here) and a margin.
TEST_F(ServerRun, WhatTheServerSendsNeverHoldsTheRun)
{
    const std::string connectionError = "SQL Server connection error. Application will be closed";
    const std::string jobFailed = "Delete previous archive schedule: Fail, error: ";
    const struct {
        const char* fault;
        std::string line;      // the run's second line: the connection's or the first job's
        const char* errorText; // in that line, or on standard error after a failed connection
        bool terminate = false;
    } cases[] = {
        {"login-errors=1:600", connectionError, "did not answer within 4 seconds"},
        {"login-errors=6:32000", connectionError, "did not answer within 4 seconds"},
        {"login-errors=1:600", connectionError, "asked to quit", true},
        {"call-errors=1000:600", jobFailed, "[FreeTDS][SQL Server]The call failed. (1 of 1000)"},
        {"call-errors=40000:40", jobFailed, "did not answer within 4 seconds"},
        {"stall=rpc", jobFailed, "Timeout expired"},
        {"dead=rpc", jobFailed, "did not answer within 4 seconds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        SqlDouble server(SqlDoubleOptions().account("sa", "pw").fault(c.fault));
        kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
        std::filesystem::remove(kitDir + "system.log");
        const auto started = std::chrono::steady_clock::now();
        const auto result = runTalvorin({"301", serverBase, "1", supportDir, "Setup.ini"},
                                        {{"WINDIR", winDir}, {"TALVORIN_REGISTRY", registryFile},
                                         {"KIT_TOOL_JOURNAL", toolJournal}, {"TALVORIN_ODBC_DRIVER", "FreeTDS"},
                                         {"TALVORIN_SQL_TIMEOUT_CAP", "2"}},
                                        60, [&] { return c.terminate && !server.events("login").empty(); });
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
        const auto lines = runLines();
        ASSERT_GE(lines.size(), 1u);
        const std::string& line = c.line == connectionError ? lines[0] : lines.at(1);
        EXPECT_THAT(line, ::testing::StartsWith(c.line));
        if (c.line == connectionError) {
            ASSERT_EQ(lines.size(), 2u);  // the fixed line, then the failure's own text
            EXPECT_THAT(lines[1], ::testing::HasSubstr(c.errorText));
            EXPECT_THAT(result.standardError, ::testing::HasSubstr(c.errorText));
        } else {
            EXPECT_THAT(line, ::testing::HasSubstr(c.errorText));
            EXPECT_EQ(lines.back(), "Process completed successfully, application will be closed");
        }
    }
}

TEST_F(ServerRun, PasswordWithConnectionStringCharactersReachesTheServerUnchanged)
{
    for (const std::string password : {"a;b=c{d}e", "{braced}", "x;UID=other;", "}"}) {
        SqlDouble server(SqlDoubleOptions().account("sa", password));
        kitData("sa", password, SqlDouble::address(), std::to_string(server.port()));
        std::filesystem::remove(kitDir + "system.log");
        run("2");
        const auto logins = server.events("login");
        ASSERT_EQ(logins.size(), 2u) << password;
        EXPECT_EQ(logins[0].at("password").get<std::string>(), password);
        EXPECT_EQ(logins[0].at("user").get<std::string>(), "sa");
        EXPECT_TRUE(logins[1].at("ok").get<bool>());
        EXPECT_EQ(runLines().back(), "Process completed successfully, application will be closed") << password;
    }
}

// A server's text may hold line breaks and terminal commands; it forges no line, no banner
// and no command: the failed deletion's line and a refused login's reason stay one line
// each, and the box on standard error is one line.
TEST_F(ServerRun, ForeignTextIsWrittenAsOneLine)
{
    const std::string forged = "Gone.\r\nFORGEDHOST 2026-12-09 01:02:03 Process completed successfully, application "
                               "will be closed\r\n" + kRule + "\r\nEnd database / table createion program\r\n" + kRule +
                               "\n\x1B[2J\x1B]0;owned\x07\xC2\x9B" "31m";
    for (const bool atLogin : {false, true}) {
        SCOPED_TRACE(atLogin ? "refused login" : "failed job deletion");
        SqlDoubleOptions options = SqlDoubleOptions().account("sa", "pw");
        if (!atLogin) options.fault("job-error=" + forged);
        SqlDouble server(options);
        kitData(atLogin ? "sa" + forged : "sa", "pw", SqlDouble::address(), std::to_string(server.port()));
        std::filesystem::remove(kitDir + "system.log");
        const auto result = run("1");
        const std::string text = readFile(kitDir + "system.log");
        std::string bad;
        EXPECT_TRUE(onlyWholeLogLines(text, &bad)) << bad;
        const auto lines = log();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "End database / table createion program"), 1);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.find("FORGEDHOST") != std::string::npos; }),
                  atLogin ? 1 : 3);
        for (const char* raw : {"\x1B", "\x07", "\xC2\x9B"}) {
            EXPECT_EQ(text.find(raw), std::string::npos);
            EXPECT_EQ(result.standardError.find(raw), std::string::npos);
        }
        EXPECT_EQ(result.standardError.find('\r'), std::string::npos);
        if (atLogin) {
            EXPECT_THAT(result.standardError, ::testing::StartsWith("[Error] "));
            EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1);
        }
    }
}

}  // namespace
}  // namespace talvorin::testing
