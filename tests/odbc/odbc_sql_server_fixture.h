#pragma once
// The ODBC client against the SQL Server double: through unixODBC and FreeTDS on Linux,
// through Wine's odbc32 (which hands the calls to them) under Wine.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "odbc_test_env.h"
#include "odbc/odbc_sql_server.h"

namespace talvorin::setupdata::testing {

class OdbcSqlServer : public ::testing::Test {
protected:
    // Pinned so that a machine with Microsoft's driver as well still tests FreeTDS.
    ScopedEnv driver{odbcDriverVariable, "FreeTDS"};

    std::unique_ptr<SqlServerClient> client = makeOdbcSqlServerClient();
};

// The SqlError `action` throws; fails the test when it throws none.
template <typename Action>
std::string failureOf(Action action)
{
    try {
        action();
    } catch (const SqlError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no SqlError";
    return {};
}

}  // namespace talvorin::setupdata::testing
