// What the Windows build does with a value that no connection string can carry to FreeTDS:
// it has no private data source to fall back on, so it refuses the value before it
// connects. Microsoft's drivers, the ones a Windows machine has, take every value.
#include "odbc/odbc_sql_server.h"

#include <gtest/gtest.h>

#include <string>

#include "setupdata/connection_string.h"
#include "odbc/odbc_sql_server_fixture.h"
#include "support/sql_double.h"

namespace talvorin::setupdata {
namespace {

using testing::failureOf;
using testing::OdbcSqlServer;
using talvorin::testing::SqlDouble;
using talvorin::testing::SqlDoubleOptions;

TEST_F(OdbcSqlServer, ValuesFreeTdsCannotReadFromAConnectionStringAreRefusedBeforeConnecting)
{
    const std::string refused =
        "The connection values cannot be passed to this ODBC driver: a value holding \"}\" together with \";\" "
        "or a leading \"{\" needs one of Microsoft's SQL Server drivers.";
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    for (const char* unfit : {"p;a=s{s}", "a;b}", "{x};y", "{x}", "x}DRIVER={Nope};"}) {
        SCOPED_TRACE(unfit);
        EXPECT_EQ(failureOf([&] { client->connect(masterConnection(server.dataSource(), "sa", unfit)); }), refused);
        EXPECT_EQ(failureOf([&] { client->connect(msdbConnection(server.dataSource(), unfit, "pw")); }), refused);
        EXPECT_EQ(failureOf([&] { client->connect(dialogConnection(server.dataSource(), unfit, "sa", "pw")); }),
                  refused);
    }
    EXPECT_TRUE(server.journal().empty()) << "nothing may reach the server";
    // The same client still connects with values that fit.
    EXPECT_NO_THROW(client->connect(masterConnection(server.dataSource(), "sa", "pw")));
}

}  // namespace
}  // namespace talvorin::setupdata
