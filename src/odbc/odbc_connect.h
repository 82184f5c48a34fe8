#pragma once

#include <string>

#include "odbc/odbc_handles.h"
#include "setupdata/sql_server.h"

namespace talvorin::setupdata {

// How a connection is opened.
enum class OdbcConnectWay {
    // SQLDriverConnect with the quoted connection string: whenever every value has a
    // spelling in it (always, but for NUL, with Microsoft's drivers).
    ConnectionString,
    // SQLConnect with a private data source (odbc_private_dsn.h) holding the driver, server,
    // port and the driver's options, which FreeTDS reads through unixODBC's own ini reader.
    // The login and password go as SQLConnect's parameters, which unixODBC hands to the
    // driver's SQLConnectW untouched, and the database as SQL_ATTR_CURRENT_CATALOG (wide
    // text, as in the string, and free of the ini file's limits). For the values that
    // FreeTDS 1.3 and unixODBC cannot both read from a string.
    PrivateDataSource,
};

OdbcConnectWay odbcConnectWay(const ConnectionSettings& settings, const std::string& driverName);

// Opens a connection on `environment` to `driverName` with `settings`: the login time-out
// and the access mode are set before connecting, whichever way is taken. Throws SqlError
// with the driver's messages when it fails, or naming a value that no way can pass (one
// holding NUL).
OdbcSession openOdbcSession(SQLHANDLE environment, const ConnectionSettings& settings,
                            const std::string& driverName);

}  // namespace talvorin::setupdata
