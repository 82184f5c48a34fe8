#pragma once
// The ODBC client against the SQL Server double: through unixODBC and FreeTDS on Linux,
// through Wine's odbc32 (which hands the calls to them) under Wine.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "odbc_test_env.h"
#include "odbc/odbc_sql_server.h"

namespace talvorin::odbc::testing {

class OdbcSqlServer : public ::testing::Test {
protected:
    // Pinned so that a machine with Microsoft's driver as well still tests FreeTDS.
    ScopedEnv driver{kOdbcDriverVariable, "FreeTDS"};

    std::unique_ptr<setupdata::SqlServerClient> client = makeOdbcSqlServerClient();
};

// The setupdata::SqlError `action` throws; fails the test when it throws none.
template <typename Action>
std::string failureOf(Action action)
{
    try {
        action();
    } catch (const setupdata::SqlError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no setupdata::SqlError";
    return {};
}

}  // namespace talvorin::odbc::testing
