#include "odbc/odbc_sql_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace talvorin::odbc {
namespace {

TEST(OdbcDriverChoice, FirstInstalledOfThePreferenceList)
{
    EXPECT_EQ(chooseOdbcDriver({"FreeTDS", "ODBC Driver 17 for SQL Server"}, ""), "ODBC Driver 17 for SQL Server");
    EXPECT_EQ(chooseOdbcDriver({"ODBC Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server"}, ""),
              "ODBC Driver 18 for SQL Server");
    EXPECT_EQ(chooseOdbcDriver({"PostgreSQL", "FreeTDS", "SQL Server"}, ""), "SQL Server");
    EXPECT_EQ(chooseOdbcDriver({"MySQL", "freetds"}, ""), "freetds");
}

TEST(OdbcDriverChoice, AnExplicitDriverIsTakenAsItIs)
{
    EXPECT_EQ(chooseOdbcDriver({"SQL Server"}, "/opt/lib/libtdsodbc.so"), "/opt/lib/libtdsodbc.so");
    EXPECT_EQ(chooseOdbcDriver({}, "FreeTDS"), "FreeTDS");
}

TEST(OdbcDriverChoice, NoneInstalledIsAClearError)
{
    try {
        chooseOdbcDriver({"PostgreSQL", "SQLite3"}, "");
        FAIL() << "a driver was chosen";
    } catch (const setupdata::SqlError& error) {
        EXPECT_THAT(error.what(), ::testing::StartsWith("No ODBC driver for SQL Server is installed"));
        EXPECT_THAT(error.what(), ::testing::HasSubstr("\"FreeTDS\""));
    }
}

}  // namespace
}  // namespace talvorin::odbc
