#pragma once

#include <string>
#include <vector>

#include "setupdata/sql_server.h"

namespace talvorin::setupdata {

// How a value is spelt in an ODBC connection string so that the driver reads it back
// unchanged and nothing in it can end its attribute early.
enum class OdbcQuoting {
    // Microsoft's drivers (and both driver managers): in braces, "}}" stands for one "}".
    // Every value but one holding NUL can be spelt so.
    DoubledBrace,
    // FreeTDS 1.3 and any driver not known here. FreeTDS has no escape in braces (a braced
    // value ends at the first "};"), while unixODBC, which reads the same string first to
    // find the driver, ends a braced value at a single "}" and honours keys such as DRIVER,
    // SAVEFILE and DMConnAttr. So only spellings that both read alike are used: a value
    // without "}" goes in braces, a value without ";" that does not start with "{" goes
    // bare. Any other value has no spelling at all; the connection then goes by SQLConnect
    // (see odbc_connect.h), where the login and password are parameters.
    Conservative,
};

bool isFreeTdsDriver(const std::string& driverName);
OdbcQuoting odbcQuotingFor(const std::string& driverName);

// One value of a connection: the driver's key for it, the value, and what a message calls
// it ("password", "server address", ...).
struct OdbcValue {
    std::string key;
    std::string value;
    std::string what;
};

// Whether `value` has a spelling under `quoting` (see OdbcQuoting). Under either, a value
// holding NUL has none, and neither has one holding a character whose UTF-16 unit has "{",
// "}", ";", "=" or NUL as its low byte (U+017D, U+013B, ...) where the driver manager cuts
// every unit of the wide string to its low byte before it reads the string (unixODBC), since
// there it would end the value.
bool fitsOdbcConnectionString(const std::string& value, OdbcQuoting quoting);

// "The <what> cannot be passed to the ODBC driver: <reason>".
SqlError unpassable(const std::string& what, const std::string& reason);

// Throws SqlError naming `what` when `value` holds a NUL character, which no ODBC text
// argument can carry. The message never repeats the value.
void refuseNul(const std::string& value, const std::string& what);

// "key=value;" with the value quoted. Throws SqlError naming `what` ("password", ...) when
// the value cannot be passed unchanged; the message never repeats the value.
std::string odbcAttribute(const std::string& key, const std::string& value, OdbcQuoting quoting,
                          const std::string& what);

// Where the server is, as `driverName` takes it: DRIVER, SERVER and, for FreeTDS or an
// empty port, PORT apart (other drivers get "address,port" as SERVER).
std::vector<OdbcValue> odbcServerValues(const ConnectionSettings& settings,
                                        const std::string& driverName);

// The options the driver needs besides (FreeTDS: protocol version and TLS as the server
// asks; Driver 17/18: no TLS of its own, the server's certificate trusted), and the
// application name for every driver. Fixed texts that need no quoting.
std::vector<OdbcValue> odbcDriverOptions(const std::string& driverName);

// Whether every value of `settings` fits the connection string for `driverName`.
bool fitsOdbcConnectionString(const ConnectionSettings& settings, const std::string& driverName);

// The connection string for `driverName`: the server values, the database when not empty,
// login, password and the driver's options. The time-outs and the access mode are
// connection attributes, not part of it. Throws SqlError for a value that has no spelling;
// openOdbcSession never asks for one then, it connects by SQLConnect instead.
std::string odbcConnectionString(const ConnectionSettings& settings, const std::string& driverName);

}  // namespace talvorin::setupdata
