#pragma once

#include <string>
#include <vector>

#include "odbc/odbc_api.h"

namespace talvorin::odbc {

// Text as the ODBC wide ("W") functions take it: UTF-16 code units, no terminator.
// The wide functions are used throughout because they are the only ones whose text the
// driver manager and the driver do not reinterpret on their own: unixODBC with FreeTDS
// reads a narrow connection string as Latin-1 whatever the locale says.
using OdbcText = std::vector<SQLWCHAR>;

// The program's text (UTF-8 on Linux, the ANSI code page on Windows) as UTF-16. On Linux a
// byte that does not start a valid UTF-8 sequence stands for the Latin-1 character of the
// same value, so a value stored by an ANSI build still reaches the server.
OdbcText toOdbcText(const std::string& text);

// UTF-16 back to the program's text; unpaired surrogates become U+FFFD.
std::string fromOdbcText(const SQLWCHAR* text, std::size_t length);

// The same with a terminating 0 added, for calls that take SQL_NTS.
OdbcText toOdbcTextZ(const std::string& text);

// Whether this system's driver manager reads a wide connection string after cutting every
// UTF-16 unit to its low byte before it looks for the attributes (unixODBC 2.3 does,
// Windows' own does not), so that U+017D would end a value for it as "}" does.
bool driverManagerNarrowsConnectionStrings();

}  // namespace talvorin::odbc
