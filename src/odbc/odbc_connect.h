#pragma once

#include <string>

#include "odbc/odbc_handles.h"
#include "setupdata/sql_server.h"

namespace talvorin::odbc {

// How a connection is opened.
enum class OdbcConnectWay {
    // SQLDriverConnect with the connection string: whenever every value has a spelling in it
    // (odbcSpelling), whatever the driver.
    ConnectionString,
    // SQLConnect with a private data source (odbc_private_dsn.h) holding the driver, server,
    // port and the driver's options. The login and password go as SQLConnect's parameters,
    // which the driver manager hands to the driver's SQLConnectW untouched, and the database
    // as SQL_ATTR_CURRENT_CATALOG (wide text, as in the string, and free of the data
    // source's limits). For a value that would need braces and holds "}", on both builds.
    PrivateDataSource,
};

OdbcConnectWay odbcConnectWay(const setupdata::ConnectionSettings& settings, const std::string& driverName);

// Opens a connection on `environment` to `driverName` with `settings`: the login time-out
// and the access mode are set before connecting, whichever way is taken. Throws setupdata::SqlError
// with the driver's messages when it fails, or naming a value that no way can pass (one
// holding NUL).
OdbcSession openOdbcSession(SQLHANDLE environment, const setupdata::ConnectionSettings& settings,
                            const std::string& driverName);

}  // namespace talvorin::odbc
