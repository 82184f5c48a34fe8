#pragma once

#include <string>
#include <vector>

#include "odbc/odbc_api.h"

namespace talvorin::odbc {

// One diagnostic record of an ODBC handle.
struct OdbcDiagnostic {
    std::string sqlState;
    long nativeError = 0;
    std::string message;
};

// The first records of `handle` (at most 32) in the driver's order.
std::vector<OdbcDiagnostic> odbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// The text a failure carries: the messages of the records, errors before warnings (class
// "01", which FreeTDS also uses for the network library's explanations) and each group in
// the driver's order, exact repeats left out, at most six, joined by a blank, with a full
// stop added between two messages where the first has none. A login failure thus reads
// "[FreeTDS][SQL Server]Login failed for user 'sa'. [FreeTDS][SQL Server]Unable to connect
// to data source". `fallback` is used when there are no records.
std::string odbcFailureText(const std::vector<OdbcDiagnostic>& records, const std::string& fallback);

// Shorthand: the failure text of `handle`'s records.
std::string odbcFailureText(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& fallback);

}  // namespace talvorin::odbc
