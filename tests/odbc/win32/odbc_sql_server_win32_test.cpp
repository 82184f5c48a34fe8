// What the Windows build does with a value that no connection string can carry: SQLConnect
// with a user data source of the run's own, which is gone afterwards, whatever the connect did.
// (Under Wine 8 the host's unixODBC does the connect and finds no data source of Wine's
// registry, so there the connect fails; on Windows the password reaches the server.)
#include "odbc/odbc_sql_server.h"

#include <gtest/gtest.h>

#include "odbc/odbc_api.h"

#include <odbcinst.h>

#include <string>

#include "setupdata/connection_string.h"
#include "odbc/odbc_sql_server_fixture.h"
#include "support/sql_double.h"

namespace talvorin::odbc {
namespace {

using talvorin::testing::SqlDouble;
using talvorin::testing::SqlDoubleOptions;
using testing::OdbcSqlServer;

std::wstring userDataSources()
{
    SQLSetConfigMode(ODBC_USER_DSN);
    WCHAR names[4096] = {};
    const int length = SQLGetPrivateProfileStringW(L"ODBC Data Sources", nullptr, L"", names, 4096, L"odbc.ini");
    SQLSetConfigMode(ODBC_BOTH_DSN);
    return std::wstring(names, static_cast<std::size_t>(length > 0 ? length : 0));
}

TEST_F(OdbcSqlServer, ValuesNoConnectionStringCarriesGoBySqlConnectAndLeaveNoDataSource)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "a;b}").account("{x}", "pw").account("sa2", "a;b"));
    for (const auto& [user, password] : {std::pair<std::string, std::string>{"sa", "a;b}"}, {"{x}", "pw"}}) {
        SCOPED_TRACE(user + " " + password);
        const std::size_t before = server.events("login").size();
        std::string failure;
        try {
            client->connect(setupdata::masterConnection(server.dataSource(), user, password));
        } catch (const setupdata::SqlError& error) {
            failure = error.what();
        }
        const auto logins = server.events("login");
        if (failure.empty()) {
            ASSERT_EQ(logins.size(), before + 1);
            EXPECT_EQ(logins.back().at("password").get<std::string>(), password);
        } else {
            EXPECT_EQ(logins.size(), before) << failure;
        }
        EXPECT_EQ(userDataSources().find(L"Talvorin"), std::wstring::npos) << failure;
    }
    // The same client still connects with values that fit.
    EXPECT_NO_THROW(client->connect(setupdata::masterConnection(server.dataSource(), "sa2", "a;b")));
}

}  // namespace
}  // namespace talvorin::odbc
