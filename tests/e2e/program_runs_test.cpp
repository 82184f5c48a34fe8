// The built program against the SQL Server double and the kit-tool stand-ins, the same
// scenarios on every system; where the kit lies and how a release is recorded are each
// system's own (e2e/<system>/server_run_kit.h).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#ifdef _WIN32
#include "e2e/win32/server_run_kit.h"
#else
#include "e2e/posix/server_run_kit.h"
#endif
#include "support/kit_tool_journal.h"
#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kRule(80, '-');

class ProgramRuns : public ::testing::Test, protected ServerRunKit {};

TEST_F(ProgramRuns, RefusedConnectionIsLoggedAndShown)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").fault("refuse"));
    kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
    const auto result = run("301", "1");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(runLines(),
                ElementsAre("SQL Server connection error. Application will be closed", HasSubstr("Unable to connect")));
    EXPECT_THAT(result.standardError, StartsWith("[Error] "));
    EXPECT_THAT(result.standardError, HasSubstr("Unable to connect"));
    EXPECT_EQ(log().back(), kRule) << "the run still ends with its banner";
    EXPECT_TRUE(readKitToolJournal(toolJournal).empty());
}

// With and without a server that forces encryption: the login alone or the whole session in TLS.
TEST_F(ProgramRuns, UpgradeRepairReadsTheReleaseAndLeavesTheJobsAlone)
{
    std::vector<std::string> expected = {"Upgrade repair from 3.0.1", "Start modify table structures."};
    for (const auto& script : updateScripts) expected.push_back("Execute " + script + " successfully");
    expected.insert(expected.end(), {"Table structures modified successfully.",
                                     "Loading code table VELMORA..PORT in Port.dat completed successfully",
                                     "Process completed successfully, application will be closed"});
    installedRelease("3.0.1");
    for (const auto& [encryption, channel] : {std::pair{"off", "TLSv1.2 for the login, app Talvorin"},
                                              std::pair{"required", "TLSv1.2 for the session, app Talvorin"}}) {
        SCOPED_TRACE(encryption);
        SqlDouble server(SqlDoubleOptions().account("sa", "pw").encryption(encryption));
        kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
        std::filesystem::remove(logPath());
        run("301", "2");
        EXPECT_THAT(runLines(), ElementsAreArray(expected));
        EXPECT_TRUE(server.events("rpc").empty()) << "a repair leaves the agent jobs alone";
        const auto logins = server.events("login");
        EXPECT_EQ(logins.size(), 2u);
        for (const auto& l : logins) EXPECT_EQ(loginChannel(l), channel);
    }
}

// A server that would hold the run for good (the driver stack loops on a long refusal, a dead
// server is waited for twice): the run still ends, each call given up after its time-out
// (capped at 2 s here) and a margin.
TEST_F(ProgramRuns, WhatTheServerSendsNeverHoldsTheRun)
{
    const std::string connectionError = "SQL Server connection error. Application will be closed";
    const std::string jobFailed = "Delete previous archive schedule: Fail, error: ";
    const struct {
        const char* fault;
        std::string line;       // the run's second line: the connection's or the first job's
        const char* errorText;  // in that line, or on standard error after a failed connection
        bool terminate = false;
        bool underWine = true;
    } cases[] = {
        {"login-errors=1:600", connectionError, "did not answer within 4 seconds"},
        {"login-errors=6:32000", connectionError, "did not answer within 4 seconds", false, false},
        {"login-errors=1:600", connectionError, "asked to quit", true, false},
        {"call-errors=1000:600", jobFailed, "[FreeTDS][SQL Server]The call failed. (1 of 1000)"},
        {"call-errors=40000:40", jobFailed, "did not answer within 4 seconds"},
        {"stall=rpc", jobFailed, "Timeout expired", false, false},
        {"dead=rpc", jobFailed, "did not answer within 4 seconds"},
    };
    for (const auto& c : cases) {
        if (kWine && !c.underWine) continue;
        SCOPED_TRACE(c.fault);
        SqlDouble server(SqlDoubleOptions().account("sa", "pw").fault(c.fault));
        kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
        std::filesystem::remove(logPath());
        const auto started = std::chrono::steady_clock::now();
        const auto result = run("301", "1", {{"TALVORIN_SQL_TIMEOUT_CAP", "2"}}, 60,
                                [&] { return c.terminate && !server.events("login").empty(); });
        EXPECT_EQ(result.exitCode, 0);
        if (!kWine) {
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
        }
        const auto lines = runLines();
        const bool connectFailed = c.line == connectionError;
        ASSERT_GE(lines.size(), connectFailed ? 1u : 2u);
        const std::string& line = connectFailed ? lines[0] : lines[1];
        EXPECT_THAT(line, StartsWith(c.line));
        if (connectFailed) {  // the fixed line, then the failure's own text
            ASSERT_EQ(lines.size(), 2u);
            EXPECT_THAT(lines[1], HasSubstr(c.errorText));
            EXPECT_THAT(result.standardError, HasSubstr(c.errorText));
        } else {
            EXPECT_THAT(line, HasSubstr(c.errorText));
            EXPECT_EQ(lines.back(), "Process completed successfully, application will be closed");
        }
        EXPECT_EQ(log().back(), kRule) << "the run still ends with its banner";
    }
}

}  // namespace
}  // namespace talvorin::testing
