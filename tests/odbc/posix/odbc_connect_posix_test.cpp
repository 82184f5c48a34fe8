// The connection attributes hold whichever way a connection is opened, also by the
// private data source that only the POSIX build offers.
#include "odbc/odbc_connect.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "setupdata/connection_string.h"
#include "odbc/odbc_connect_fixture.h"
#include "odbc/odbc_test_env.h"
#include "support/sql_double.h"

namespace talvorin::odbc {
namespace {

using talvorin::testing::SqlDouble;
using talvorin::testing::SqlDoubleOptions;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::OdbcConnect;
using testing::PrivateDataSourceWatch;

std::string readWholeText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(OdbcConnect, AttributesAndCatalogHoldWhicheverWayIsTaken)
{
    PrivateDataSourceWatch watch;
    SqlDouble server(SqlDoubleOptions().account("sa", "pw").account("sa2", "a;b}"));
    for (const char* password : {"pw", "a;b}"}) {
        SCOPED_TRACE(password);
        const std::string user = std::string(password) == "pw" ? "sa" : "sa2";
        const OdbcSession dialog = openOdbcSession(
            env, setupdata::dialogConnection(server.dataSource(), "model", user, password), "FreeTDS");
        EXPECT_EQ(integerAttribute(dialog, SQL_ATTR_ACCESS_MODE), static_cast<SQLULEN>(SQL_MODE_READ_ONLY));
        EXPECT_EQ(integerAttribute(dialog, SQL_ATTR_LOGIN_TIMEOUT), 60u);
        EXPECT_EQ(catalog(dialog), "model");

        const OdbcSession msdb = openOdbcSession(env, setupdata::msdbConnection(server.dataSource(), user, password),
                                                 "FreeTDS");
        EXPECT_EQ(integerAttribute(msdb, SQL_ATTR_ACCESS_MODE), static_cast<SQLULEN>(SQL_MODE_READ_WRITE));
        EXPECT_EQ(integerAttribute(msdb, SQL_ATTR_LOGIN_TIMEOUT), 15u);
        EXPECT_EQ(catalog(msdb), "msdb");
    }
    EXPECT_EQ(server.events("login").size(), 4u);
    EXPECT_THAT(watch.leftOver(), IsEmpty());
}

TEST_F(OdbcConnect, EachConnectReadsADataSourceOfItsOwnWithoutLoginOrPassword)
{
    PrivateDataSourceWatch watch;
    // The first answer is held back, so that the data source can be read while it is in use.
    SqlDouble slow(SqlDoubleOptions().account("{x};y", "p;a=s{s}").fault("slow=2"));
    auto connecting = std::async(std::launch::async, [&] {
        return openOdbcSession(env, setupdata::masterConnection(slow.dataSource(), "{x};y", "p;a=s{s}"), "FreeTDS");
    });
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (text.empty() && std::chrono::steady_clock::now() < deadline) {
        for (const auto& name : watch.leftOver())
            if (std::filesystem::path(name).filename() == "odbc.ini") text = readWholeText(name);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const OdbcSession first = connecting.get();
    EXPECT_THAT(text, HasSubstr("\nPORT=" + std::to_string(slow.port()) + "\n"));
    for (const char* secret : {"{x};y", "p;a=s{s}", "UID", "PWD"}) EXPECT_THAT(text, Not(HasSubstr(secret)));
    EXPECT_THAT(watch.leftOver(), IsEmpty());

    // unixODBC keeps what it read from an ini file for a while: a second server soon after
    // must still be the one reached.
    SqlDouble other(SqlDoubleOptions().account("{x};y", "p;a=s{s}"));
    const OdbcSession second = openOdbcSession(
        env, setupdata::masterConnection(other.dataSource(), "{x};y", "p;a=s{s}"), "FreeTDS");
    EXPECT_EQ(slow.events("login").size(), 1u);
    EXPECT_EQ(other.events("login").size(), 1u);
}

// Up to 128 characters of every kind but NUL (and ":", which the double's account option
// takes as the end of the login).
std::string longValue(const std::string& alphabet, std::size_t characters)
{
    std::string out;
    for (std::size_t i = 0, at = 0; i < characters; ++i) {
        std::size_t length = 1;
        while (at + length < alphabet.size() && (static_cast<unsigned char>(alphabet[at + length]) & 0xC0) == 0x80)
            ++length;
        out += alphabet.substr(at, length);
        at = (at + length) % alphabet.size();
    }
    return out;
}

// The bare, the braced and the SQLConnect way; the spelling is the same for every driver,
// and the double's journal shows what reached the server.
TEST_F(OdbcConnect, EveryLoginAndPasswordReachesTheServerAsTyped)
{
    PrivateDataSourceWatch watch;
    struct Case {
        std::string login, password;
        OdbcConnectWay way;
    };
    const std::vector<Case> cases = {
        {"Ad}m=in{x", "Pa}s=w{rd!", OdbcConnectWay::ConnectionString},  // bare
        {"{adm;in ", " p;a=s{s\t", OdbcConnectWay::ConnectionString},   // braced
        {"{adm}", " a;b}c{", OdbcConnectWay::PrivateDataSource},
        {longValue("}{;= \t\r\nx\x1B\xC3\xA9\xE2\x82\xAC", 128), longValue(":}};{\x01\x7F\xC3\xBF ", 128),
         OdbcConnectWay::PrivateDataSource},
    };
    SqlDoubleOptions options;
    for (const Case& c : cases) options.account(c.login, c.password);
    SqlDouble server(options);
    for (const char* driver : {"FreeTDS"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(driver) + " [" + c.login + "] [" + c.password + "]");
            const setupdata::ConnectionSettings settings = setupdata::masterConnection(server.dataSource(), c.login,
                                                                                       c.password);
            EXPECT_EQ(odbcConnectWay(settings, driver), c.way);
            const std::size_t before = server.events("login").size();
            EXPECT_NO_THROW(openOdbcSession(env, settings, driver));
            const auto logins = server.events("login");
            ASSERT_EQ(logins.size(), before + 1);
            EXPECT_EQ(logins.back().at("user").get<std::string>(), c.login);
            EXPECT_EQ(logins.back().at("password").get<std::string>(), c.password);
            EXPECT_TRUE(logins.back().at("ok").get<bool>());
        }
    }
    EXPECT_THAT(watch.leftOver(), IsEmpty());
}

}  // namespace
}  // namespace talvorin::odbc
