// The ODBC connection string as a property: for any login and password, the string the
// program hands to SQLDriverConnectW gives back exactly the values put in and no other
// attribute, read by every driver's rules (with or without "}}" for "}", FreeTDS's) and by
// unixODBC after it narrowed the wide string. Where no such spelling exists, the program
// must refuse to build the string and connect by SQLConnect instead, which takes any login
// and password without NUL as they are.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "odbc/odbc_connect.h"
#include "odbc/odbc_connection_string.h"
#include "support/odbc_string_readers.h"

using namespace talvorin;
using testsupport::OdbcAttributes;

namespace {

OdbcAttributes expected(const std::string& driver, const std::string& user, const std::string& password)
{
    if (odbc::isFreeTdsDriver(driver))
        return {{"DRIVER", driver}, {"SERVER", "10.1.2.3"}, {"PORT", "1433"},       {"DATABASE", "master"},
                {"UID", user},      {"PWD", password},      {"TDS_Version", "7.4"}, {"Encryption", "request"},
                {"APP", "Talvorin"}};
    OdbcAttributes attributes = {
        {"DRIVER", driver}, {"SERVER", "10.1.2.3,1433"}, {"DATABASE", "master"}, {"UID", user}, {"PWD", password}};
    if (driver.rfind("ODBC Driver ", 0) == 0)
        attributes.insert(attributes.end(), {{"Encrypt", "no"}, {"TrustServerCertificate", "yes"}});
    attributes.emplace_back("APP", "Talvorin");
    return attributes;
}

void check(const std::string& driver, const std::string& user, const std::string& password)
{
    setupdata::ConnectionSettings settings;
    settings.dataSource = "10.1.2.3,1433";
    settings.catalog = "master";
    settings.user = user;
    settings.password = password;

    const bool fits = odbc::fitsOdbcConnectionString(settings, driver);
    const bool hasNul = user.find('\0') != std::string::npos || password.find('\0') != std::string::npos;
    const auto way = odbc::odbcConnectWay(settings, driver);
    if (way != (fits ? odbc::OdbcConnectWay::ConnectionString : odbc::OdbcConnectWay::PrivateDataSource))
        __builtin_trap();
    std::string text;
    try {
        text = odbc::odbcConnectionString(settings, driver);
    } catch (const setupdata::SqlError&) {
        if (fits) __builtin_trap();  // said to fit, then refused
        return;
    }
    if (!fits || hasNul) __builtin_trap();  // said not to fit, then built anyway

    const OdbcAttributes want = expected(driver, user, password);
    if (testsupport::readFreeTds(text) != want || testsupport::readDoubledBrace(text) != want ||
        testsupport::readDoubledBrace(text, false) != want)
        __builtin_trap();
    if (testsupport::readDoubledBrace(testsupport::narrowedByDriverManager(text)) !=
        testsupport::narrowedByDriverManager(want))
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string user = in.ConsumeRandomLengthString(40);
    const std::string password = in.ConsumeRemainingBytesAsString();
    for (const char* driver :
         {"FreeTDS", "SQL Server", "ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server"}) {
        check(driver, user, password);
        check(driver, password, user);
    }
    return 0;
}
