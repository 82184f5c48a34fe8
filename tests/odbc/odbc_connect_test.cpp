// Which way a connection is opened.
#include "odbc/odbc_connect.h"

#include <gtest/gtest.h>

#include <string>

#include "setupdata/connection_string.h"

namespace talvorin::setupdata {
namespace {

ConnectionSettings withCredentials(const std::string& user, const std::string& password)
{
    return masterConnection("10.1.2.3,1433", user, password);
}

TEST(OdbcConnectWay, SqlConnectOnlyForValuesTheStringCannotCarry)
{
    for (const char* fits : {"pw", "pa;ss", "{brace", "bra}ce", "}", "x}DRIVER={Nope}", ""}) {
        SCOPED_TRACE(fits);
        EXPECT_EQ(odbcConnectWay(withCredentials("sa", fits), "FreeTDS"), OdbcConnectWay::ConnectionString);
        EXPECT_EQ(odbcConnectWay(withCredentials(fits, "pw"), "FreeTDS"), OdbcConnectWay::ConnectionString);
    }
    for (const char* unfit : {"p;a=s{s}", "a;b}", "{x};y", "{x}", "x}DRIVER={Nope};"}) {
        SCOPED_TRACE(unfit);
        EXPECT_EQ(odbcConnectWay(withCredentials("sa", unfit), "FreeTDS"), OdbcConnectWay::PrivateDataSource);
        EXPECT_EQ(odbcConnectWay(withCredentials(unfit, "pw"), "FreeTDS"), OdbcConnectWay::PrivateDataSource);
        // Microsoft's drivers read "}}" as "}": every value fits.
        EXPECT_EQ(odbcConnectWay(withCredentials(unfit, unfit), "ODBC Driver 18 for SQL Server"),
                  OdbcConnectWay::ConnectionString);
    }
    ConnectionSettings database = withCredentials("sa", "pw");
    database.catalog = "a};b";
    EXPECT_EQ(odbcConnectWay(database, "FreeTDS"), OdbcConnectWay::PrivateDataSource);
}

}  // namespace
}  // namespace talvorin::setupdata
