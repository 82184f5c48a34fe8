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

const std::string kRule(80, '-');

class ServerRun : public ::testing::Test, protected ServerRunKit {
protected:
    ProgramResult run(const std::string& installType) { return ServerRunKit::run("301", installType); }
};

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
