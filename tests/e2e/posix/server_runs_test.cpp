// The built program against the SQL Server test double and the kit-tool stand-ins: what it
// logs, what reaches the server and how the tools are started.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "e2e/posix/server_run_kit.h"
#include "support/kit_tool_journal.h"
#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::string kRule(80, '-');
const char* const kJobs[] = {"ORVO_Schedule_Archive", "ORVO_Schedule_Full_Backup", "ORVO_Daily_Tx_Log_Backup"};

class ServerRun : public ::testing::Test, protected ServerRunKit {
protected:
    ProgramResult run(const std::string& installType) { return ServerRunKit::run("301", installType); }

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
                            "Delete previous backup schedule: Success",
                            "Delete previous backup TXLog schedule: Success", "Execute create_db.sql successfully",
                            "Execute create_tables.sql successfully", "Execute extra.sql successfully",
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
    EXPECT_THAT(runs[0].args,
                ElementsAre("-S", source, "-U", "sa", "-P", "Secret1", "-i", serverBase + "/Scripts/create_db.sql"));
    EXPECT_EQ(runs[3].program, "bcp.exe");
    EXPECT_THAT(runs[3].args, ElementsAre("VELMORA..COUNTRY", "in", "Country.dat", "-m", "0", "-t\\@\\t", "-r\\@\\r\\n",
                                          "-q", "-w", "-S", source, "-U", "sa", "-P", "Secret1", "-e", "bcp.log"));
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
    for (const auto& l : server.events("login")) EXPECT_EQ(loginChannel(l), "TLSv1.2 for the session, app Talvorin");
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
                               "will be closed\r\n" +
                               kRule + "\r\nEnd database / table createion program\r\n" + kRule +
                               "\n\x1B[2J\x1B]0;owned\x07\xC2\x9B"
                               "31m";
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
