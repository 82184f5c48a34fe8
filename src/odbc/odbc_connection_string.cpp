#include "odbc/odbc_connection_string.h"

#include "formats/ascii.h"

#include <algorithm>

#include "odbc/odbc_text.h"

namespace talvorin::odbc {

namespace {

bool needsEncryptOff(const std::string& driverName)
{
    // Driver 18 encrypts by default; the provider the product was built on never did.
    const std::string name = formats::lowerAsciiText(driverName);
    return name.rfind("odbc driver ", 0) == 0;
}

bool isBlank(char c)
{
    // What drivers may trim from a bare value's ends (isspace in the C locale).
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// unixODBC parses the wide connection string after cutting every UTF-16 unit to its low
// byte, so U+017D reads as "}" and U+013B as ";" there while the driver sees the real
// characters: such a value could end its attribute for the driver manager alone.
bool survivesNarrowing(const std::string& value)
{
    if (!driverManagerNarrowsConnectionStrings()) return true;
    for (const SQLWCHAR unit : toOdbcText(value)) {
        if (unit < 0x100) continue;
        const char low = static_cast<char>(unit & 0xFF);
        if (low == '{' || low == '}' || low == ';' || low == '=' || low == '\0') return false;
    }
    return true;
}

}  // namespace

setupdata::SqlError unpassable(const std::string& what, const std::string& reason)
{
    return setupdata::SqlError("The " + what + " cannot be passed to this ODBC driver: " + reason);
}

OdbcSpelling odbcSpelling(const std::string& value)
{
    if (value.find('\0') != std::string::npos || !survivesNarrowing(value)) return OdbcSpelling::None;
    if (value.empty() || (value.find(';') == std::string::npos && value.front() != '{' && !isBlank(value.front()) &&
                          !isBlank(value.back())))
        return OdbcSpelling::Bare;
    return value.find('}') == std::string::npos ? OdbcSpelling::Braced : OdbcSpelling::None;
}

bool isFreeTdsDriver(const std::string& driverName)
{
    const std::string name = formats::lowerAsciiText(driverName);
    return name.find("freetds") != std::string::npos || name.find("tdsodbc") != std::string::npos;
}

bool fitsOdbcConnectionString(const std::string& value) { return odbcSpelling(value) != OdbcSpelling::None; }

void refuseNul(const std::string& value, const std::string& what)
{
    // Drivers read a NUL as the end of the text, wherever it is passed.
    if (value.find('\0') != std::string::npos) throw unpassable(what, "it holds a NUL character.");
}

std::string odbcAttribute(const std::string& key, const std::string& value, const std::string& what)
{
    refuseNul(value, what);
    if (!survivesNarrowing(value))
        throw unpassable(what, "a character in it reads as \"{\", \"}\", \";\", \"=\" or NUL to the "
                               "ODBC driver manager.");
    switch (odbcSpelling(value)) {
    case OdbcSpelling::Bare: return key + "=" + value + ";";
    case OdbcSpelling::Braced: return key + "={" + value + "};";
    case OdbcSpelling::None: break;
    }
    throw unpassable(what, "a \"}\" in it cannot be combined with a \";\", a leading \"{\" or a "
                           "blank at either end.");
}

std::vector<OdbcValue> odbcServerValues(const setupdata::ConnectionSettings& settings, const std::string& driverName)
{
    const std::string& source = settings.dataSource;
    const std::size_t comma = source.rfind(',');
    const std::string address = comma == std::string::npos ? source : source.substr(0, comma);
    const std::string port = comma == std::string::npos ? std::string() : source.substr(comma + 1);

    std::vector<OdbcValue> values = {{"DRIVER", driverName, "driver name"}};
    if (isFreeTdsDriver(driverName) || port.empty()) {
        // FreeTDS takes the port only as an attribute of its own.
        values.push_back({"SERVER", address, "server address"});
        if (!port.empty()) values.push_back({"PORT", port, "port"});
    } else {
        values.push_back({"SERVER", address + "," + port, "server address"});
    }
    return values;
}

std::vector<OdbcValue> odbcDriverOptions(const std::string& driverName)
{
    // Every driver names the session for sp_who and the login audit with the APP keyword.
    const OdbcValue application = {"APP", "Talvorin", "application name"};
    // FreeTDS would guess the protocol version. "request" lets the server decide on TLS as
    // the provider did: the login inside TLS, the whole session when the server forces it,
    // none when it has none.
    if (isFreeTdsDriver(driverName))
        return {{"TDS_Version", "7.4", "protocol version"}, {"Encryption", "request", "encryption"}, application};
    // When the server forces TLS, Driver 18 checks its certificate, usually self-signed;
    // the provider did not.
    if (needsEncryptOff(driverName))
        return {{"Encrypt", "no", "encryption"}, {"TrustServerCertificate", "yes", "certificate trust"}, application};
    return {application};
}

bool fitsOdbcConnectionString(const setupdata::ConnectionSettings& settings, const std::string& driverName)
{
    for (const auto& item : odbcServerValues(settings, driverName))
        if (!fitsOdbcConnectionString(item.value)) return false;
    for (const std::string* value : {&settings.catalog, &settings.user, &settings.password})
        if (!fitsOdbcConnectionString(*value)) return false;
    return true;
}

std::string odbcConnectionString(const setupdata::ConnectionSettings& settings, const std::string& driverName)
{
    // The driver comes first: unixODBC takes the last DRIVER it reads, and nothing after this
    // one can spell another.
    std::string text;
    for (const auto& item : odbcServerValues(settings, driverName))
        text += odbcAttribute(item.key, item.value, item.what);
    if (!settings.catalog.empty()) text += odbcAttribute("DATABASE", settings.catalog, "database name");
    text += odbcAttribute("UID", settings.user, "login");
    text += odbcAttribute("PWD", settings.password, "password");
    for (const auto& option : odbcDriverOptions(driverName)) text += option.key + "=" + option.value + ";";
    return text;
}

}  // namespace talvorin::odbc
