#pragma once

#include <string>

#include "setupdata/sql_server.h"

namespace talvorin::setupdata {

// How a value is spelt in an ODBC connection string so that the driver reads it back
// unchanged and nothing in it can end its attribute early.
enum class OdbcQuoting {
    // Microsoft's drivers (and both driver managers): in braces, "}}" stands for one "}".
    DoubledBrace,
    // FreeTDS 1.3 and any driver not known here. FreeTDS has no escape in braces (a braced
    // value ends at the first "};"), while unixODBC, which reads the same string first to
    // find the driver, ends a braced value at a single "}" and honours keys such as DRIVER,
    // SAVEFILE and DMConnAttr. So only spellings that both read alike are used: a value
    // without "}" goes in braces, a value without ";" that does not start with "{" goes
    // bare, and any other value cannot be passed at all.
    Conservative,
};

bool isFreeTdsDriver(const std::string& driverName);
OdbcQuoting odbcQuotingFor(const std::string& driverName);

// "key=value;" with the value quoted. Throws SqlError naming `what` ("password", ...) when
// the value cannot be passed unchanged; the message never repeats the value.
std::string odbcAttribute(const std::string& key, const std::string& value, OdbcQuoting quoting,
                          const std::string& what);

// The connection string for `driverName` (driver, server, port, database when not empty,
// login, password and the driver's fixed options). The time-outs and the access mode are
// connection attributes, not part of it. Throws SqlError for a value that cannot be passed.
std::string odbcConnectionString(const ConnectionSettings& settings, const std::string& driverName);

}  // namespace talvorin::setupdata
