// Which way a connection is opened.
#include "odbc/odbc_connect.h"

#include <gtest/gtest.h>

#include <string>

#include "setupdata/connection_string.h"

namespace talvorin::odbc {
namespace {

setupdata::ConnectionSettings withCredentials(const std::string& user, const std::string& password)
{
    return setupdata::masterConnection("10.1.2.3,1433", user, password);
}

TEST(OdbcConnectWay, SqlConnectOnlyForValuesTheStringCannotCarry)
{
    for (const char* driver :
         {"FreeTDS", "SQL Server", "ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server"}) {
        for (const char* fits : {"pw", "pa;ss", "{brace", "bra}ce", "}", "x}DRIVER={Nope}", "", " a "}) {
            SCOPED_TRACE(std::string(driver) + " [" + fits + "]");
            EXPECT_EQ(odbcConnectWay(withCredentials("sa", fits), driver), OdbcConnectWay::ConnectionString);
            EXPECT_EQ(odbcConnectWay(withCredentials(fits, "pw"), driver), OdbcConnectWay::ConnectionString);
        }
        for (const char* unfit : {"p;a=s{s}", "a;b}", "{x};y", "{x}", "x}DRIVER={Nope};", " a}"}) {
            SCOPED_TRACE(std::string(driver) + " [" + unfit + "]");
            EXPECT_EQ(odbcConnectWay(withCredentials("sa", unfit), driver), OdbcConnectWay::PrivateDataSource);
            EXPECT_EQ(odbcConnectWay(withCredentials(unfit, "pw"), driver), OdbcConnectWay::PrivateDataSource);
        }
        setupdata::ConnectionSettings database = withCredentials("sa", "pw");
        database.catalog = "a};b";
        EXPECT_EQ(odbcConnectWay(database, driver), OdbcConnectWay::PrivateDataSource);
    }
}

}  // namespace
}  // namespace talvorin::odbc
