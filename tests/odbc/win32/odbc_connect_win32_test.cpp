// The connection attributes through Wine's odbc32, which hands the calls to the host's
// unixODBC and FreeTDS: the Windows build always connects by connection string.
#include "odbc/odbc_connect.h"

#include <gtest/gtest.h>

#include "setupdata/connection_string.h"
#include "odbc/odbc_connect_fixture.h"
#include "support/sql_double.h"

namespace talvorin::odbc {
namespace {

using talvorin::testing::SqlDouble;
using talvorin::testing::SqlDoubleOptions;
using testing::OdbcConnect;

TEST_F(OdbcConnect, AttributesAndCatalogHoldOverTheConnectionString)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    const OdbcSession dialog = openOdbcSession(
        env, setupdata::dialogConnection(server.dataSource(), "model", "sa", "pw"), "FreeTDS");
    EXPECT_EQ(integerAttribute(dialog, SQL_ATTR_ACCESS_MODE), static_cast<SQLULEN>(SQL_MODE_READ_ONLY));
    EXPECT_EQ(integerAttribute(dialog, SQL_ATTR_LOGIN_TIMEOUT), 60u);
    EXPECT_EQ(catalog(dialog), "model");

    const OdbcSession msdb = openOdbcSession(env, setupdata::msdbConnection(server.dataSource(), "sa", "pw"),
                                             "FreeTDS");
    EXPECT_EQ(integerAttribute(msdb, SQL_ATTR_ACCESS_MODE), static_cast<SQLULEN>(SQL_MODE_READ_WRITE));
    EXPECT_EQ(integerAttribute(msdb, SQL_ATTR_LOGIN_TIMEOUT), 15u);
    EXPECT_EQ(catalog(msdb), "msdb");
    EXPECT_EQ(server.events("login").size(), 2u);
}

}  // namespace
}  // namespace talvorin::odbc
