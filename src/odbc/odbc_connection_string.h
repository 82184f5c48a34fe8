#pragma once

#include <string>
#include <vector>

#include "setupdata/sql_server.h"

namespace talvorin::odbc {

// How a value is spelt in an ODBC connection string, the same for every driver. The drivers
// and driver managers agree on two spellings only: a bare value runs to the next ";", and a
// braced one to the first "}". Microsoft's connection-string grammar reads "}}" in braces
// as "}", but FreeTDS 1.3 does not (its braced value ends at the first "};"), and for the
// "SQL Server" driver no document says it does; nothing here relies on it.
enum class OdbcSpelling {
    Bare,    // no ";", no leading "{", no blank at either end: as the value was always passed
    Braced,  // any other value without "}"
    None,    // a value that needs braces and holds "}", or one holding NUL or a character the
             // driver manager misreads (see fitsOdbcConnectionString): SQLConnect carries it
};

OdbcSpelling odbcSpelling(const std::string& value);

bool isFreeTdsDriver(const std::string& driverName);

// One value of a connection: the driver's key for it, the value, and what a message calls
// it ("password", "server address", ...).
struct OdbcValue {
    std::string key;
    std::string value;
    std::string what;
};

// Whether `value` has a spelling. None has a value holding NUL, nor one holding a character
// whose UTF-16 unit has "{", "}", ";", "=" or NUL as its low byte (U+017D, U+013B, ...) where
// the driver manager cuts every unit of the wide string to its low byte before it reads the
// string (unixODBC), since there it would end the value.
bool fitsOdbcConnectionString(const std::string& value);

// "The <what> cannot be passed to this ODBC driver: <reason>".
setupdata::SqlError unpassable(const std::string& what, const std::string& reason);

// Throws setupdata::SqlError naming `what` when `value` holds a NUL character, which no ODBC text
// argument can carry. The message never repeats the value.
void refuseNul(const std::string& value, const std::string& what);

// "key=value;" with the value spelt as odbcSpelling says. Throws setupdata::SqlError naming `what`
// ("password", ...) when it has no spelling; the message never repeats the value.
std::string odbcAttribute(const std::string& key, const std::string& value, const std::string& what);

// Where the server is, as `driverName` takes it: DRIVER, SERVER and, for FreeTDS or an
// empty port, PORT apart (other drivers get "address,port" as SERVER).
std::vector<OdbcValue> odbcServerValues(const setupdata::ConnectionSettings& settings, const std::string& driverName);

// The options the driver needs besides (FreeTDS: protocol version and TLS as the server
// asks; Driver 17/18: no TLS of its own, the server's certificate trusted), and the
// application name for every driver. Fixed texts that need no quoting.
std::vector<OdbcValue> odbcDriverOptions(const std::string& driverName);

// Whether every value of `settings` fits the connection string for `driverName`.
bool fitsOdbcConnectionString(const setupdata::ConnectionSettings& settings, const std::string& driverName);

// The connection string for `driverName`: the server values, the database when not empty,
// login, password and the driver's options. The time-outs and the access mode are
// connection attributes, not part of it. Throws setupdata::SqlError for a value that has no spelling;
// openOdbcSession never asks for one then, it connects by SQLConnect instead.
std::string odbcConnectionString(const setupdata::ConnectionSettings& settings, const std::string& driverName);

}  // namespace talvorin::odbc
