#include "odbc/odbc_connection_string.h"

#include "support/odbc_string_readers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

namespace talvorin::odbc {
namespace {

using Attributes = testsupport::OdbcAttributes;
using testsupport::readDoubledBrace;
using testsupport::readFreeTds;

setupdata::ConnectionSettings settingsWith(const std::string& user, const std::string& password,
                                           const std::string& catalog = "master")
{
    setupdata::ConnectionSettings settings;
    settings.dataSource = "10.1.2.3,1433";
    settings.catalog = catalog;
    settings.user = user;
    settings.password = password;
    return settings;
}

Attributes expectedFreeTds(const std::string& user, const std::string& password)
{
    return {{"DRIVER", "FreeTDS"}, {"SERVER", "10.1.2.3"}, {"PORT", "1433"},       {"DATABASE", "master"},
            {"UID", user},         {"PWD", password},      {"TDS_Version", "7.4"}, {"Encryption", "request"},
            {"APP", "Talvorin"}};
}

Attributes expectedFor(const std::string& driver, const std::string& user, const std::string& password)
{
    if (driver == "FreeTDS") return expectedFreeTds(user, password);
    Attributes attributes = {
        {"DRIVER", driver}, {"SERVER", "10.1.2.3,1433"}, {"DATABASE", "master"}, {"UID", user}, {"PWD", password}};
    // Driver 18 would otherwise insist on TLS and check the server's certificate.
    if (driver.rfind("ODBC Driver ", 0) == 0)
        attributes.insert(attributes.end(), {{"Encrypt", "no"}, {"TrustServerCertificate", "yes"}});
    attributes.emplace_back("APP", "Talvorin");
    return attributes;
}

const char* const kDrivers[] = {"SQL Server", "ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server",
                                "FreeTDS"};

// Every text of up to four characters over the characters that matter to a connection
// string, plus a few longer ones that combine them.
std::vector<std::string> awkwardValues()
{
    const std::string alphabet = "a;={} ";
    std::vector<std::string> values = {""};
    std::vector<std::string> previous = {""};
    for (int length = 1; length <= 4; ++length) {
        std::vector<std::string> next;
        for (const auto& stem : previous)
            for (char c : alphabet) next.push_back(stem + c);
        values.insert(values.end(), next.begin(), next.end());
        previous = std::move(next);
    }
    for (const char* longer : {"x}DRIVER={Evil}", "x};DRIVER={Evil};", "}};PWD={y", "pa}}ss", "x}SAVEFILE=/tmp/leak",
                               "{already braced}", "a;b=c{d}e}", "é€ž"})
        values.emplace_back(longer);
    return values;
}

bool goesBare(const std::string& value)
{
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    return value.empty() || (value.find(';') == std::string::npos && value.front() != '{' && !blank(value.front()) &&
                             !blank(value.back()));
}

TEST(OdbcConnectionString, FreeTdsGetsServerAndPortApartAndItsFixedOptions)
{
    EXPECT_EQ(odbcConnectionString(settingsWith("sa", "pw"), "FreeTDS"),
              "DRIVER=FreeTDS;SERVER=10.1.2.3;PORT=1433;DATABASE=master;UID=sa;PWD=pw;"
              "TDS_Version=7.4;Encryption=request;APP=Talvorin;");
}

TEST(OdbcConnectionString, MicrosoftDriversGetAddressAndPortTogether)
{
    EXPECT_EQ(odbcConnectionString(settingsWith("sa", "pw"), "SQL Server"),
              "DRIVER=SQL Server;SERVER=10.1.2.3,1433;DATABASE=master;UID=sa;PWD=pw;APP=Talvorin;");
    EXPECT_EQ(odbcConnectionString(settingsWith("sa", "pw"), "ODBC Driver 18 for SQL Server"),
              "DRIVER=ODBC Driver 18 for SQL Server;SERVER=10.1.2.3,1433;DATABASE=master;"
              "UID=sa;PWD=pw;Encrypt=no;TrustServerCertificate=yes;APP=Talvorin;");
}

TEST(OdbcConnectionString, EmptyCatalogAndEmptyPortAreLeftOut)
{
    setupdata::ConnectionSettings settings = settingsWith("sa", "pw", "");
    settings.dataSource = "10.1.2.3,";
    const Attributes freeTds = readFreeTds(odbcConnectionString(settings, "FreeTDS"));
    for (const auto& [key, value] : freeTds) {
        EXPECT_NE(key, "DATABASE");
        EXPECT_NE(key, "PORT");
    }
    EXPECT_EQ(freeTds[1], (std::pair<std::string, std::string>("SERVER", "10.1.2.3")));

    const Attributes microsoft = readDoubledBrace(odbcConnectionString(settings, "SQL Server"));
    EXPECT_EQ(microsoft[1], (std::pair<std::string, std::string>("SERVER", "10.1.2.3")));
    EXPECT_EQ(microsoft.size(), 5u);  // DRIVER, SERVER, UID, PWD, APP
}

// Every reader (with and without "}}" for "}", FreeTDS's, unixODBC's after it narrowed the
// wide string) must get the values unchanged and no attribute of their own, whatever the
// driver; a value no reader can be trusted with is refused, naming the field.
TEST(OdbcConnectionString, EveryReaderGetsEachValueUnchangedOrItIsRefused)
{
    int refused = 0;
    for (const char* driver : kDrivers) {
        for (const auto& value : awkwardValues()) {
            SCOPED_TRACE(std::string(driver) + " value [" + value + "]");
            for (const bool asPassword : {true, false}) {
                const std::string user = asPassword ? "sa" : value;
                const std::string password = asPassword ? value : "pw";
                std::string text;
                try {
                    text = odbcConnectionString(settingsWith(user, password), driver);
                } catch (const setupdata::SqlError& error) {
                    ++refused;
                    EXPECT_EQ(odbcSpelling(value), OdbcSpelling::None);
                    EXPECT_THAT(error.what(), ::testing::HasSubstr(asPassword ? "password" : "login"));
                    continue;
                }
                const Attributes want = expectedFor(driver, user, password);
                EXPECT_EQ(readFreeTds(text), want) << text;
                EXPECT_EQ(readDoubledBrace(text), want) << text;
                EXPECT_EQ(readDoubledBrace(text, false), want) << text;
                EXPECT_EQ(readDoubledBrace(testsupport::narrowedByDriverManager(text)),
                          testsupport::narrowedByDriverManager(want))
                    << text;
                const std::string key = asPassword ? ";PWD=" : ";UID=";
                EXPECT_EQ(text.find(key + value + ";") != std::string::npos, goesBare(value)) << text;
            }
        }
    }
    EXPECT_GT(refused, 0);
}

TEST(OdbcConnectionString, ClosingBracesWithoutSemicolonsReachFreeTds)
{
    for (const std::string password : {"x}", "}", "a}b", "x}DRIVER={Evil}", "pa}}ss", "a{b}"}) {
        const std::string text = odbcConnectionString(settingsWith("sa", password), "FreeTDS");
        EXPECT_EQ(readFreeTds(text), expectedFreeTds("sa", password)) << text;
        EXPECT_THAT(text, ::testing::HasSubstr(";PWD=" + password + ";"));
    }
}

TEST(OdbcConnectionString, RefusalNamesTheFieldAndNeverShowsTheValue)
{
    const std::string secret = "s3cr}t;Zq";
    try {
        odbcConnectionString(settingsWith("sa", secret), "FreeTDS");
        FAIL() << "a password with \"}\" and \";\" went through";
    } catch (const setupdata::SqlError& error) {
        EXPECT_THAT(error.what(), ::testing::StartsWith("The password cannot be passed to this ODBC driver: "));
        EXPECT_THAT(error.what(), ::testing::Not(::testing::HasSubstr(secret)));
    }
    EXPECT_THROW(odbcConnectionString(settingsWith("{adm}", "pw"), "FreeTDS"), setupdata::SqlError);
    try {
        odbcConnectionString(settingsWith("{adm}", "pw"), "FreeTDS");
    } catch (const setupdata::SqlError& error) {
        EXPECT_THAT(error.what(), ::testing::StartsWith("The login cannot be passed"));
    }
}

TEST(OdbcConnectionString, NulCharactersAreRefusedByEveryDriver)
{
    const std::string withNul("pw\0x", 4);
    for (const char* driver : {"FreeTDS", "SQL Server"}) {
        try {
            odbcConnectionString(settingsWith("sa", withNul), driver);
            FAIL() << driver << " took a password holding NUL";
        } catch (const setupdata::SqlError& error) {
            EXPECT_THAT(error.what(), ::testing::HasSubstr("password"));
            EXPECT_THAT(error.what(), ::testing::HasSubstr("NUL"));
        }
    }
}

TEST(OdbcConnectionString, ServerAndDatabaseAreQuotedLikeTheCredentials)
{
    setupdata::ConnectionSettings settings = settingsWith("sa", "pw", "ms;db");
    settings.dataSource = "host;DRIVER=x,1433";
    const Attributes read = readDoubledBrace(odbcConnectionString(settings, "FreeTDS"));
    ASSERT_GE(read.size(), 4u);
    EXPECT_EQ(read[1].second, "host;DRIVER=x");
    EXPECT_EQ(read[3].second, "ms;db");
    EXPECT_EQ(read[0], (std::pair<std::string, std::string>("DRIVER", "FreeTDS")));
}

TEST(OdbcConnectionString, SpellingIsTheSameForEveryDriver)
{
    struct Case {
        std::string value;
        OdbcSpelling spelling;
    };
    const std::vector<Case> cases = {
        {"", OdbcSpelling::Bare},
        {"pw", OdbcSpelling::Bare},
        {"a}b", OdbcSpelling::Bare},
        {"a{b=c", OdbcSpelling::Bare},
        {"a b", OdbcSpelling::Bare},
        {"a;b", OdbcSpelling::Braced},
        {"{ab", OdbcSpelling::Braced},
        {" ab", OdbcSpelling::Braced},
        {"ab\t", OdbcSpelling::Braced},
        {"a;b}", OdbcSpelling::None},
        {"{a}", OdbcSpelling::None},
        {"a} ", OdbcSpelling::None},
        {std::string("a\0b", 3), OdbcSpelling::None},
    };
    for (const Case& c : cases) EXPECT_EQ(odbcSpelling(c.value), c.spelling) << "[" << c.value << "]";
    EXPECT_TRUE(isFreeTdsDriver("FreeTDS"));
    EXPECT_TRUE(isFreeTdsDriver("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"));
    EXPECT_FALSE(isFreeTdsDriver("SQL Server"));
}

}  // namespace
}  // namespace talvorin::odbc
