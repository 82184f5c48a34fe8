// The ODBC client's way for values no connection string can carry to FreeTDS: SQLConnect
// with a private data source, which only the POSIX build offers.
#include "odbc/odbc_sql_server.h"

#include "odbc/odbc_connect.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "odbc/odbc_sql_server_fixture.h"
#include "setupdata/connection_string.h"
#include "support/sql_double.h"

namespace talvorin::odbc {
namespace {

using talvorin::testing::SqlDouble;
using talvorin::testing::SqlDoubleOptions;
using testing::environmentVariable;
using testing::failureOf;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::OdbcSqlServer;
using testing::PrivateDataSourceWatch;

// Values FreeTDS cannot read from a connection string go by SQLConnect and a private data
// source; the server must see no difference.
TEST_F(OdbcSqlServer, CredentialsNoConnectionStringCanCarryReachTheServerUnchanged)
{
    PrivateDataSourceWatch watch;
    const std::vector<std::pair<std::string, std::string>> accounts = {{"sa", "p;a=s{s}"},
                                                                       {"a;b}", "pw"},
                                                                       {"sa2", "{x};y"},
                                                                       {"{x};y", "}"},
                                                                       {"lone", "}"},
                                                                       {"sa3", "x}DRIVER={Nope};"},
                                                                       {"x}DRIVER={Nope};", "a;b}"},
                                                                       {"accent;}", "pä;ss}wörd€"}};
    SqlDoubleOptions options;
    options.accounts = accounts;
    SqlDouble server(options);
    for (const auto& [user, password] : accounts) {
        SCOPED_TRACE(user);
        EXPECT_NO_THROW(client->connect(setupdata::masterConnection(server.dataSource(), user, password)));
        EXPECT_NO_THROW(client->connect(setupdata::msdbConnection(server.dataSource(), user, password)));
        EXPECT_NO_THROW(client->connect(setupdata::dialogConnection(server.dataSource(), "", user, password)));
    }
    const auto logins = server.events("login");
    ASSERT_EQ(logins.size(), 3 * accounts.size());
    const char* databases[] = {"master", "msdb", ""};
    for (std::size_t i = 0; i < logins.size(); ++i) {
        SCOPED_TRACE("login " + std::to_string(i + 1));
        EXPECT_EQ(logins[i].at("user").get<std::string>(), accounts[i / 3].first);
        EXPECT_EQ(logins[i].at("password").get<std::string>(), accounts[i / 3].second);
        EXPECT_EQ(logins[i].at("database").get<std::string>(), databases[i % 3]);
        EXPECT_TRUE(logins[i].at("ok").get<bool>());
        EXPECT_EQ(logins[i].at("tds_version").get<std::string>(), "7.4");
        // FreeTDS reads APP from a connection string only, never from a data source.
        const auto& [user, password] = accounts[i / 3];
        const bool bySqlConnect = odbcConnectWay(setupdata::masterConnection(server.dataSource(), user, password),
                                                 "FreeTDS") == OdbcConnectWay::PrivateDataSource;
        EXPECT_EQ(talvorin::testing::loginChannel(logins[i]),
                  std::string("TLSv1.2 for the login, app ") + (bySqlConnect ? "" : "Talvorin"));
    }
    EXPECT_THAT(watch.leftOver(), ::testing::IsEmpty());
    EXPECT_EQ(environmentVariable("ODBCINI"), PrivateDataSourceWatch::odbcIniMarker);
}

TEST_F(OdbcSqlServer, AConnectionOpenedBySqlConnectWorksLikeAnyOther)
{
    PrivateDataSourceWatch watch;
    const std::string edition = "Standard Edition (64-bit)";
    SqlDouble server(SqlDoubleOptions().account("sa", "a;b}").job("ORVO_Schedule_Archive").edition(edition));
    auto msdb = client->connect(setupdata::msdbConnection(server.dataSource(), "sa", "a;b}"));
    msdb->deleteAgentJob("ORVO_Schedule_Archive");
    EXPECT_EQ(msdb->queryEdition(), edition);
    const auto calls = server.events("rpc");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].at("database").get<std::string>(), "msdb");
    EXPECT_TRUE(calls[0].at("ok").get<bool>());
    // Nothing of it is on disk while the connection is open.
    EXPECT_THAT(watch.leftOver(), ::testing::IsEmpty());
    msdb.reset();
    EXPECT_EQ(server.waitForEvents("disconnect", 1).size(), 1u);
}

TEST_F(OdbcSqlServer, FailuresBySqlConnectCarryTheMessagesAndLeaveNothingBehind)
{
    PrivateDataSourceWatch watch;
    SqlDouble server(SqlDoubleOptions().account("sa", "a;b}"));
    std::string message = failureOf(
        [&] { client->connect(setupdata::masterConnection(server.dataSource(), "sa", "a;b};")); });
    EXPECT_THAT(message, HasSubstr("[FreeTDS][SQL Server]Login failed for user 'sa'."));
    EXPECT_THAT(message, Not(HasSubstr("a;b}")));
    message = failureOf(
        [&] { client->connect(setupdata::dialogConnection(server.dataSource(), "Nowhere", "sa", "a;b}")); });
    EXPECT_THAT(message, HasSubstr("Cannot open database \"Nowhere\" requested by the login."));
    const auto logins = server.events("login");
    ASSERT_EQ(logins.size(), 2u);
    EXPECT_EQ(logins[1].at("database").get<std::string>(), "Nowhere");

    SqlDouble absent(SqlDoubleOptions().account("sa", "a;b}").fault("refuse"));
    EXPECT_THAT(failureOf([&] { client->connect(setupdata::masterConnection(absent.dataSource(), "sa", "a;b}")); }),
                HasSubstr("[FreeTDS][SQL Server]Unable to connect"));

    setupdata::ConnectionSettings unquotableServer = setupdata::masterConnection(server.dataSource(), "sa", "a;b}");
    unquotableServer.dataSource = " 127.0.0.1," + std::to_string(server.port());
    EXPECT_THAT(failureOf([&] { client->connect(unquotableServer); }),
                HasSubstr("The server address cannot be passed to this ODBC driver"));

    EXPECT_THAT(watch.leftOver(), ::testing::IsEmpty());
    EXPECT_EQ(environmentVariable("ODBCINI"), PrivateDataSourceWatch::odbcIniMarker);
}

TEST_F(OdbcSqlServer, TheConnectTimeoutHoldsBySqlConnectToo)
{
    PrivateDataSourceWatch watch;
    SqlDouble server(SqlDoubleOptions().account("sa", "a;b}").fault("slow=8"));
    setupdata::ConnectionSettings settings = setupdata::masterConnection(server.dataSource(), "sa", "a;b}");
    settings.connectTimeoutSeconds = 1;
    EXPECT_THAT(failureOf([&] { client->connect(settings); }), HasSubstr("Timeout expired"));
    EXPECT_TRUE(server.events("login").empty());
    EXPECT_THAT(watch.leftOver(), ::testing::IsEmpty());
}

}  // namespace
}  // namespace talvorin::odbc
