#pragma once

#include <memory>
#include <string>
#include <vector>

#include "setupdata/sql_server.h"

namespace talvorin::odbc {

// Names the ODBC driver to use instead of the preference list (tests, other drivers).
inline constexpr const char* kOdbcDriverVariable = "TALVORIN_ODBC_DRIVER";

// The SQL Server client on the ODBC API. The driver is chosen at each connect.
std::unique_ptr<setupdata::SqlServerClient> makeOdbcSqlServerClient();

// `explicitDriver` when it is not empty, otherwise the first of "SQL Server", "ODBC Driver
// 18 for SQL Server", "ODBC Driver 17 for SQL Server" and "FreeTDS" that is among
// `installed` (compared without regard to case). Throws setupdata::SqlError when none is.
std::string chooseOdbcDriver(const std::vector<std::string>& installed, const std::string& explicitDriver);

}  // namespace talvorin::odbc
