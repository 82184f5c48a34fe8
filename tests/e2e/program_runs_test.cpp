// The built program against the SQL Server double and the kit-tool stand-ins, the same
// scenarios on every system; where the kit lies and how a release is recorded are each
// system's own (e2e/<system>/server_run_kit.h).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <sstream>

#ifdef _WIN32
#include "e2e/win32/server_run_kit.h"
#else
#include "e2e/posix/server_run_kit.h"
#endif
#include "support/kit_tool_journal.h"
#include "support/native_path.h"
#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::EndsWith;
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

const char* const kJobs[] = {"ORVO_Schedule_Archive", "ORVO_Schedule_Full_Backup", "ORVO_Daily_Tx_Log_Backup"};

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

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// Each job is deleted or says why not; the scripts run and the code tables load through the
// tools, each given the server and the login.
TEST_F(ProgramRuns, FirstInstallationDeletesTheJobsRunsTheScriptsAndLoadsTheCodeTables)
{
    const struct {
        const char* mode;
        std::vector<int> jobs;  // those the server has
        const char* password;
    } cases[] = {{"301", {0, 1, 2}, "Secret1"}, {"301", {1}, "pw"}, {"306", {0, 2}, "Secret;1=x"}};
    const char* const schedules[] = {"archive", "backup", "backup TXLog"};
    const std::string migrationFile = serverBase + nativePath("/BIN/dbsvr.ini");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + ", password " + c.password);
        const bool upgradeKit = c.mode == std::string("306");
        SqlDoubleOptions options = SqlDoubleOptions().account("sa", c.password);
        for (const int j : c.jobs) options.job(kJobs[j]);
        SqlDouble server(options);
        kitData("sa", c.password, SqlDouble::address(), std::to_string(server.port()));
        for (const auto& file : {logPath(), toolJournal, migrationFile}) std::filesystem::remove(file);
        const auto result = run(c.mode, "1");
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.standardError, "");

        std::vector<std::string> expected;
        if (upgradeKit) expected.push_back("SetupMode = UPG_SETUP, reading Migration status");
        expected.push_back("Start creating database");
        for (int j = 0; j < 3; ++j) {
            const bool there = std::find(c.jobs.begin(), c.jobs.end(), j) != c.jobs.end();
            expected.push_back("Delete previous " + std::string(schedules[j]) + " schedule: " +
                               (there ? std::string("Success")
                                      : "Fail, error: [FreeTDS][SQL Server]The specified @job_name ('" +
                                            std::string(kJobs[j]) + "') does not exist."));
        }
        for (const auto& script : installScripts) expected.push_back("Execute " + script + " successfully");
        for (const auto& table : codeTables)
            expected.push_back("Loading code table " + table + " completed successfully");
        expected.push_back("Process completed successfully, application will be closed");
        EXPECT_THAT(runLines(), ElementsAreArray(expected));
        if (upgradeKit) {
            EXPECT_EQ(readFile(migrationFile), "[DataMigration]\r\nMig_Done=NotDone\r\n");
        }

        const auto logins = server.events("login");
        ASSERT_EQ(logins.size(), 2u);
        EXPECT_EQ(logins[0].at("database").get<std::string>(), "master");
        EXPECT_EQ(logins[1].at("database").get<std::string>(), "msdb");
        for (const auto& l : logins) {
            EXPECT_EQ(l.at("user").get<std::string>(), "sa");
            EXPECT_EQ(l.at("password").get<std::string>(), c.password);
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
        ASSERT_EQ(runs.size(), installScripts.size() + codeTables.size());
        const std::string source = "127.0.0.1," + std::to_string(server.port());
        const std::vector<std::string> login = {"-S", source, "-U", "sa", "-P", c.password};
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const bool script = i < installScripts.size();
            auto args = script ? login : words(codeTables[i - installScripts.size()]);
            if (script) {
                args.insert(args.end(), {"-i", serverBase + nativePath("/Scripts/" + installScripts[i])});
            } else {
                args.insert(args.end(), {"-m", "0", "-t\\@\\t", "-r\\@\\r\\n", "-q", "-w"});
                args.insert(args.end(), login.begin(), login.end());
                args.insert(args.end(), {"-e", "bcp.log"});
            }
            EXPECT_EQ(runs[i].program, script ? "osql.exe" : "bcp.exe");
            EXPECT_THAT(runs[i].args, ElementsAreArray(args));
        }
        EXPECT_TRUE(std::filesystem::exists(kitDir + "bcp.log"))
            << "bcp runs in the kit folder, not in " << runs.back().workingDirectory;
        if (kWine) {  // the command lines as the program made them
            const std::string pw = c.password;
            EXPECT_THAT(runs[0].commandLine.value_or(""), StartsWith("\"" + kitDir + "osql.exe\""));
            EXPECT_THAT(runs[0].commandLine.value_or(""),
                        EndsWith(" -S " + source + " -U sa -P " + pw + " -i \"" + serverBase +
                                 nativePath("/Scripts/" + installScripts[0]) + "\""));
            const std::string bcp = runs[installScripts.size()].commandLine.value_or("");
            EXPECT_THAT(bcp, StartsWith("\"" + kitDir + "bcp.exe\""));
            EXPECT_THAT(bcp, EndsWith(" VELMORA..COUNTRY in Country.dat -m 0 -t\"\\@\\t\" -r\"\\@\\r\\n\" -q -w -S " +
                                      source + " -U sa -P " + pw + " -e bcp.log"));
        }
    }
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
