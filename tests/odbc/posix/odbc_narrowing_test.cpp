// Values that unixODBC, which cuts each UTF-16 unit of a wide connection string to its low
// byte, would read differently from the driver. The values are UTF-8, the Linux build's text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "odbc/odbc_connection_string.h"
#include "support/odbc_string_readers.h"

namespace talvorin::odbc {
namespace {

using testsupport::readFreeTds;

setupdata::ConnectionSettings settingsWith(const std::string& user, const std::string& password)
{
    setupdata::ConnectionSettings settings;
    settings.dataSource = "10.1.2.3,1433";
    settings.catalog = "master";
    settings.user = user;
    settings.password = password;
    return settings;
}

TEST(OdbcConnectionString, CharactersThatUnixOdbcNarrowsToSyntaxAreRefusedByEveryDriver)
{
    // unixODBC cuts each UTF-16 unit to its low byte before it parses: U+017D is "}" there,
    // U+013B ";", U+017B "{", U+013D "=", U+0100 NUL, and a surrogate pair such as U+1F600's
    // (D83D DE00) carries both "=" and NUL.
    const std::vector<std::string> narrowedToSyntax = {
        "x\u017D;DRIVER=/tmp/evil.so;", "\u017D", "a\u013Bb", "\u017B", "\u013D", "\u0100", "\U0001F600"};
    for (const std::string& value : narrowedToSyntax) {
        for (const char* driver : {"FreeTDS", "SQL Server", "ODBC Driver 18 for SQL Server"}) {
            SCOPED_TRACE(std::string(driver) + " value [" + value + "]");
            EXPECT_FALSE(fitsOdbcConnectionString(value));
            EXPECT_FALSE(fitsOdbcConnectionString(settingsWith("sa", value), driver));
            EXPECT_FALSE(fitsOdbcConnectionString(settingsWith(value, "pw"), driver));
            try {
                odbcConnectionString(settingsWith("sa", value), driver);
                ADD_FAILURE() << "built a connection string";
            } catch (const setupdata::SqlError& error) {
                EXPECT_THAT(error.what(), ::testing::StartsWith("The password cannot be passed"));
                EXPECT_THAT(error.what(), ::testing::Not(::testing::HasSubstr(value)));
            }
        }
    }
    // Characters above U+00FF whose low byte means nothing to the parser still go in the string.
    for (const std::string value : {"\u017E\u20AC", "\u0141\u0152"}) {
        const std::string text = odbcConnectionString(settingsWith("sa", value), "FreeTDS");
        ASSERT_GE(readFreeTds(text).size(), 6u);
        EXPECT_EQ(readFreeTds(text)[5], (std::pair<std::string, std::string>("PWD", value)));
    }
}

}  // namespace
}  // namespace talvorin::odbc
