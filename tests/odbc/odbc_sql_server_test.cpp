// The ODBC client against the SQL Server double.
#include "odbc/odbc_sql_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "odbc_sql_server_fixture.h"
#include "setupdata/connection_string.h"
#include "support/program_text.h"
#include "support/sql_double.h"

namespace talvorin::odbc {
namespace {

using talvorin::testing::JsonValue;
using talvorin::testing::loginChannel;
using talvorin::testing::programText;
using talvorin::testing::SqlDouble;
using talvorin::testing::SqlDoubleOptions;
using testing::failureOf;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::OdbcSqlServer;
using testing::PrivateDataSourceWatch;

TEST_F(OdbcSqlServer, OpensTheRunsAndTheDialogsConnections)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "Secret1"));
    client->connect(setupdata::masterConnection(server.dataSource(), "sa", "Secret1"));
    client->connect(setupdata::msdbConnection(server.dataSource(), "sa", "Secret1"));
    client->connect(setupdata::dialogConnection(server.dataSource(), "", "sa", "Secret1"));

    const auto logins = server.events("login");
    ASSERT_EQ(logins.size(), 3u);
    const char* databases[] = {"master", "msdb", ""};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(logins[i].at("user").get<std::string>(), "sa");
        EXPECT_EQ(logins[i].at("password").get<std::string>(), "Secret1");
        EXPECT_EQ(logins[i].at("database").get<std::string>(), databases[i]);
        EXPECT_TRUE(logins[i].at("ok").get<bool>());
        EXPECT_EQ(logins[i].at("tds_version").get<std::string>(), "7.4");
        EXPECT_EQ(loginChannel(logins[i]), "TLSv1.2 for the login, app Talvorin");
    }
}

// The server decides: login-only TLS, the whole session (Force Encryption), or none.
TEST_F(OdbcSqlServer, EveryServerEncryptionModeCarriesTheWholeSession)
{
    const std::pair<const char*, const char*> modes[] = {{"off", "TLSv1.2 for the login, app Talvorin"},
                                                         {"required", "TLSv1.2 for the session, app Talvorin"},
                                                         {"not-supported", "no TLS, app Talvorin"}};
    for (const auto& [mode, channel] : modes) {
        SCOPED_TRACE(mode);
        SqlDouble server(SqlDoubleOptions().account("sa", "pw").job("ORVO_Schedule_Archive").encryption(mode));
        auto msdb = client->connect(setupdata::msdbConnection(server.dataSource(), "sa", "pw"));
        EXPECT_NO_THROW(msdb->deleteAgentJob("ORVO_Schedule_Archive"));
        EXPECT_NO_THROW(msdb->queryEdition());
        ASSERT_EQ(server.events("login").size(), 1u);
        EXPECT_EQ(loginChannel(server.events("login")[0]), channel);
        EXPECT_TRUE(server.events("rpc").at(0).at("ok").get<bool>());
    }
}

TEST_F(OdbcSqlServer, ClosingTheConnectionDisconnects)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    auto connection = client->connect(setupdata::masterConnection(server.dataSource(), "sa", "pw"));
    EXPECT_TRUE(server.events("disconnect").empty());
    connection.reset();
    EXPECT_EQ(server.waitForEvents("disconnect", 1).size(), 1u);
}

TEST_F(OdbcSqlServer, ARefusedLoginCarriesTheServersMessage)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "right"));
    const std::string message = failureOf(
        [&] { client->connect(setupdata::masterConnection(server.dataSource(), "sa", "wrong")); });
    EXPECT_THAT(message, HasSubstr("[FreeTDS][SQL Server]Login failed for user 'sa'."));
    EXPECT_THAT(message, Not(HasSubstr("wrong")));
    EXPECT_THAT(message, Not(HasSubstr("right")));
    ASSERT_EQ(server.events("login").size(), 1u);
    EXPECT_FALSE(server.events("login")[0].at("ok").get<bool>());
}

TEST_F(OdbcSqlServer, AnUnknownDatabaseIsNamedInTheMessage)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    const std::string message = failureOf(
        [&] { client->connect(setupdata::dialogConnection(server.dataSource(), "Nowhere", "sa", "pw")); });
    EXPECT_THAT(message, HasSubstr("Cannot open database \"Nowhere\" requested by the login. The login failed."));
}

TEST_F(OdbcSqlServer, AServerThatIsNotThereGivesTheDriversMessage)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").fault("refuse"));
    const std::string message = failureOf(
        [&] { client->connect(setupdata::masterConnection(server.dataSource(), "sa", "pw")); });
    EXPECT_THAT(message, HasSubstr("[FreeTDS][SQL Server]Unable to connect"));
    EXPECT_TRUE(server.journal().empty());
}

TEST_F(OdbcSqlServer, AConnectionDroppedDuringLoginFails)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").fault("close-in-login"));
    const std::string message = failureOf(
        [&] { client->connect(setupdata::masterConnection(server.dataSource(), "sa", "pw")); });
    EXPECT_THAT(message, HasSubstr("Unable to connect to data source"));
    ASSERT_EQ(server.events("login").size(), 1u);
}

TEST_F(OdbcSqlServer, ASlowServerRunsIntoTheConnectTimeout)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").fault("slow=8"));
    setupdata::ConnectionSettings settings = setupdata::masterConnection(server.dataSource(), "sa", "pw");
    settings.connectTimeoutSeconds = 1;
    EXPECT_THAT(failureOf([&] { client->connect(settings); }), HasSubstr("Timeout expired"));
    // The driver gave up while the server still held back its answer to the prelogin.
    EXPECT_TRUE(server.events("login").empty());
}

TEST_F(OdbcSqlServer, ASlowAnswerRunsIntoTheCommandTimeoutAndIsCancelled)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").fault("slow=3"));
    setupdata::ConnectionSettings settings = setupdata::masterConnection(server.dataSource(), "sa", "pw");
    settings.connectTimeoutSeconds = 30;
    settings.commandTimeoutSeconds = 1;
    auto connection = client->connect(settings);
    EXPECT_THAT(failureOf([&] { connection->queryEdition(); }), HasSubstr("Timeout expired"));
    EXPECT_EQ(server.waitForEvents("attention", 1).size(), 1u);

    EXPECT_THAT(failureOf([&] { connection->deleteAgentJob("ORVO_Schedule_Archive"); }), HasSubstr("Timeout expired"));
    const auto calls = server.waitForEvents("rpc", 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].at("cancelled").get<bool>());
}

TEST_F(OdbcSqlServer, DeletesAnAgentJobWithOnlyItsNameSet)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").job("ORVO_Schedule_Archive"));
    auto msdb = client->connect(setupdata::msdbConnection(server.dataSource(), "sa", "pw"));
    msdb->deleteAgentJob("ORVO_Schedule_Archive");

    const auto calls = server.events("rpc");
    ASSERT_EQ(calls.size(), 1u);
    const JsonValue& call = calls[0];
    EXPECT_EQ(call.at("procedure").get<std::string>(), "sp_delete_job");
    EXPECT_EQ(call.at("database").get<std::string>(), "msdb");
    EXPECT_TRUE(call.at("ok").get<bool>());
    const auto& params = call.at("params");
    ASSERT_EQ(params.size(), 5u);
    const char* types[] = {"uniqueidentifier", "nvarchar", "nvarchar", "bit", "bit"};
    for (std::size_t i = 0; i < params.size(); ++i) {
        SCOPED_TRACE("parameter " + std::to_string(i + 1));
        EXPECT_EQ(params[i].at("type").get<std::string>(), types[i]);
        EXPECT_EQ(params[i].at("null").get<bool>(), i != 1);
        EXPECT_FALSE(params[i].at("output").get<bool>());
    }
    EXPECT_EQ(params[1].at("value").get<std::string>(), "ORVO_Schedule_Archive");
}

TEST_F(OdbcSqlServer, AMissingJobFailsWithTheServersMessage)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").job("ORVO_Schedule_Archive"));
    auto msdb = client->connect(setupdata::msdbConnection(server.dataSource(), "sa", "pw"));
    msdb->deleteAgentJob("ORVO_Schedule_Archive");
    // Gone now: the second call is refused, and the connection stays usable.
    EXPECT_EQ(failureOf([&] { msdb->deleteAgentJob("ORVO_Schedule_Archive"); }),
              "[FreeTDS][SQL Server]The specified @job_name ('ORVO_Schedule_Archive') does not exist.");
    EXPECT_THAT(failureOf([&] { msdb->deleteAgentJob("ORVO_Daily_Tx_Log_Backup"); }),
                HasSubstr("The specified @job_name ('ORVO_Daily_Tx_Log_Backup') does not exist."));
    const auto calls = server.events("rpc");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_TRUE(calls[0].at("error").is_null());
    EXPECT_EQ(calls[1].at("error").get<double>(), 14262);
    EXPECT_EQ(calls[2].at("error").get<double>(), 14262);
}

TEST_F(OdbcSqlServer, JobNamesGoOutWholeUpTo128CharactersAndAreNeverCut)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    auto msdb = client->connect(setupdata::msdbConnection(server.dataSource(), "sa", "pw"));
    // 128 UTF-16 units each, with characters of several bytes in UTF-8 and, in the first,
    // one of two units; each is tried where the program's text can hold it.
    const std::string names[] = {std::string(121, 'j') + "_é€😀_x", std::string(122, 'j') + "_é€ÿ_x"};
    std::size_t sent = 0;
    for (const std::string& longest : names) {
        const auto text = programText(longest);
        if (!text) continue;
        SCOPED_TRACE(longest);
        failureOf([&] { msdb->deleteAgentJob(*text); });
        ASSERT_EQ(server.events("rpc").size(), ++sent);
        EXPECT_EQ(server.events("rpc").back().at("params").at(1).at("value").get<std::string>(), longest);

        const std::string message = failureOf([&] { msdb->deleteAgentJob(*text + "y"); });
        EXPECT_THAT(message, HasSubstr("longer than 128 characters"));
        EXPECT_EQ(server.events("rpc").size(), sent);
    }
    EXPECT_GE(sent, 1u) << "the program's code page holds none of the names";
}

TEST_F(OdbcSqlServer, ReadsTheEditionWhateverItsLength)
{
    const std::string edition = "Enterprise Edition: Core-based Licensing (64-bit)";
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").edition(edition));
    auto connection = client->connect(setupdata::dialogConnection(server.dataSource(), "", "sa", "pw"));
    EXPECT_EQ(connection->queryEdition(), edition);
    const auto batches = server.events("batch");
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0].at("text").get<std::string>(), "SELECT SERVERPROPERTY('EDITION') AS SERVER");
    // The answer was read to its end, so nothing had to be cancelled.
    EXPECT_TRUE(server.events("attention").empty());

    std::string longer;
    while (longer.size() < 3000) longer += "Édition très longue € ";
    SqlDouble verbose(SqlDoubleOptions().account("sa", "pw").edition(longer));
    const auto expected = programText(longer);
    ASSERT_TRUE(expected);
    EXPECT_EQ(client->connect(setupdata::dialogConnection(verbose.dataSource(), "", "sa", "pw"))->queryEdition(),
              *expected);
}

TEST_F(OdbcSqlServer, AwkwardCredentialsReachTheServerUnchanged)
{
    const std::vector<std::pair<std::string, std::string>> accounts = {{"semi", "pa;ss"},
                                                                       {"equals", "a=b;c=d"},
                                                                       {"open", "{brace"},
                                                                       {"close", "bra}ce"},
                                                                       {"trailing", "secret}"},
                                                                       {"lone", "}"},
                                                                       {"both", "{x"},
                                                                       {"spaces", "  padded  "},
                                                                       {"inject", "x}DRIVER={Nope}"},
                                                                       {"save", "x}SAVEFILE=/tmp/talvorin-leak"},
                                                                       {"quote", "q\"uo\\te"},
                                                                       {"accents", "pässwörd€"},
                                                                       {"us}er", "pw"},
                                                                       {"semi;colon", "pw"}};
    SqlDoubleOptions options;
    options.accounts = accounts;
    SqlDouble server(options);
    for (const auto& [user, password] : accounts) {
        SCOPED_TRACE(user);
        const auto login = programText(user);
        const auto secret = programText(password);
        ASSERT_TRUE(login && secret);
        EXPECT_NO_THROW(client->connect(setupdata::masterConnection(server.dataSource(), *login, *secret)));
    }
    const auto logins = server.events("login");
    ASSERT_EQ(logins.size(), accounts.size());
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        EXPECT_EQ(logins[i].at("user").get<std::string>(), accounts[i].first);
        EXPECT_EQ(logins[i].at("password").get<std::string>(), accounts[i].second);
        EXPECT_EQ(logins[i].at("database").get<std::string>(), "master");
    }
    EXPECT_FALSE(std::filesystem::exists("/tmp/talvorin-leak"));
}

TEST_F(OdbcSqlServer, NulCharactersAreStillRefusedBeforeConnecting)
{
    PrivateDataSourceWatch watch;
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    const std::string withNul("pw\0x", 4);
    std::string message = failureOf(
        [&] { client->connect(setupdata::masterConnection(server.dataSource(), "sa", withNul)); });
    EXPECT_EQ(message, "The password cannot be passed to this ODBC driver: it holds a NUL character.");
    message = failureOf(
        [&] { client->connect(setupdata::masterConnection(server.dataSource(), std::string("s\0a", 3), "a;b}")); });
    EXPECT_EQ(message, "The login cannot be passed to this ODBC driver: it holds a NUL character.");
    EXPECT_TRUE(server.journal().empty());
    EXPECT_THAT(watch.leftOver(), ::testing::IsEmpty());
}

TEST_F(OdbcSqlServer, TheDriverComesFromTheInstalledListOrTheVariable)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    driver.set(nullptr);
    EXPECT_NO_THROW(client->connect(setupdata::masterConnection(server.dataSource(), "sa", "pw")));

    driver.set("No Such Driver");
    const std::string message = failureOf(
        [&] { client->connect(setupdata::masterConnection(server.dataSource(), "sa", "pw")); });
    EXPECT_THAT(message, HasSubstr("No Such Driver"));
    EXPECT_EQ(server.events("login").size(), 1u);
}

}  // namespace
}  // namespace talvorin::odbc
