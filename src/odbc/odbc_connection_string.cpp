#include "odbc/odbc_connection_string.h"

#include "formats/ascii.h"

#include <algorithm>

#include "odbc/odbc_text.h"

namespace talvorin::setupdata {

namespace {

bool isMicrosoftDriver(const std::string& driverName)
{
    const std::string name = platform::lowerAsciiText(driverName);
    const auto startsWith = [&](const std::string& prefix) { return name.rfind(prefix, 0) == 0; };
    const auto endsWith = [&](const std::string& suffix) {
        return name.size() >= suffix.size() &&
               name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    return name == "sql server" || startsWith("sql server native client") ||
           (startsWith("odbc driver ") && endsWith(" for sql server"));
}

bool needsEncryptOff(const std::string& driverName)
{
    // Driver 18 encrypts by default; the provider the product was built on never did.
    const std::string name = platform::lowerAsciiText(driverName);
    return name.rfind("odbc driver ", 0) == 0;
}

std::string quoteDoubledBrace(const std::string& value)
{
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}')
            out += '}';
    }
    return out + "}";
}

bool fitsConservatively(const std::string& value)
{
    return value.find('}') == std::string::npos ||
           (value.find(';') == std::string::npos && value.front() != '{');
}

std::string quoteConservative(const std::string& value, const std::string& what)
{
    if (value.find('}') == std::string::npos)
        return "{" + value + "}";
    if (fitsConservatively(value))
        return value;
    throw unpassable(what, "a \"}\" in it cannot be combined with a \";\" or a leading \"{\".");
}

// unixODBC parses the wide connection string after cutting every UTF-16 unit to its low
// byte, so U+017D reads as "}" and U+013B as ";" there while the driver sees the real
// characters: such a value could end its attribute for the driver manager alone.
bool survivesNarrowing(const std::string& value)
{
    if (!driverManagerNarrowsConnectionStrings())
        return true;
    for (const SQLWCHAR unit : toOdbcText(value)) {
        if (unit < 0x100)
            continue;
        const char low = static_cast<char>(unit & 0xFF);
        if (low == '{' || low == '}' || low == ';' || low == '=' || low == '\0')
            return false;
    }
    return true;
}

}  // namespace

SqlError unpassable(const std::string& what, const std::string& reason)
{
    return SqlError("The " + what + " cannot be passed to the ODBC driver: " + reason);
}

bool isFreeTdsDriver(const std::string& driverName)
{
    const std::string name = platform::lowerAsciiText(driverName);
    return name.find("freetds") != std::string::npos || name.find("tdsodbc") != std::string::npos;
}

OdbcQuoting odbcQuotingFor(const std::string& driverName)
{
    return isMicrosoftDriver(driverName) ? OdbcQuoting::DoubledBrace : OdbcQuoting::Conservative;
}

bool fitsOdbcConnectionString(const std::string& value, OdbcQuoting quoting)
{
    if (value.find('\0') != std::string::npos || !survivesNarrowing(value))
        return false;
    return quoting == OdbcQuoting::DoubledBrace || fitsConservatively(value);
}

void refuseNul(const std::string& value, const std::string& what)
{
    // Drivers read a NUL as the end of the text, wherever it is passed.
    if (value.find('\0') != std::string::npos)
        throw unpassable(what, "it holds a NUL character.");
}

std::string odbcAttribute(const std::string& key, const std::string& value, OdbcQuoting quoting,
                          const std::string& what)
{
    refuseNul(value, what);
    if (!survivesNarrowing(value))
        throw unpassable(what, "a character in it reads as \"{\", \"}\", \";\", \"=\" or NUL to the "
                               "ODBC driver manager.");
    const std::string quoted = quoting == OdbcQuoting::DoubledBrace
                                   ? quoteDoubledBrace(value)
                                   : quoteConservative(value, what);
    return key + "=" + quoted + ";";
}

std::vector<OdbcValue> odbcServerValues(const ConnectionSettings& settings,
                                        const std::string& driverName)
{
    const std::string& source = settings.dataSource;
    const std::size_t comma = source.rfind(',');
    const std::string address = comma == std::string::npos ? source : source.substr(0, comma);
    const std::string port = comma == std::string::npos ? std::string() : source.substr(comma + 1);

    std::vector<OdbcValue> values = {{"DRIVER", driverName, "driver name"}};
    if (isFreeTdsDriver(driverName) || port.empty()) {
        // FreeTDS takes the port only as an attribute of its own.
        values.push_back({"SERVER", address, "server address"});
        if (!port.empty())
            values.push_back({"PORT", port, "port"});
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
        return {{"TDS_Version", "7.4", "protocol version"}, {"Encryption", "request", "encryption"},
                application};
    // When the server forces TLS, Driver 18 checks its certificate, usually self-signed;
    // the provider did not.
    if (needsEncryptOff(driverName))
        return {{"Encrypt", "no", "encryption"},
                {"TrustServerCertificate", "yes", "certificate trust"}, application};
    return {application};
}

bool fitsOdbcConnectionString(const ConnectionSettings& settings, const std::string& driverName)
{
    const OdbcQuoting quoting = odbcQuotingFor(driverName);
    for (const auto& item : odbcServerValues(settings, driverName))
        if (!fitsOdbcConnectionString(item.value, quoting))
            return false;
    for (const std::string* value : {&settings.catalog, &settings.user, &settings.password})
        if (!fitsOdbcConnectionString(*value, quoting))
            return false;
    return true;
}

std::string odbcConnectionString(const ConnectionSettings& settings, const std::string& driverName)
{
    const OdbcQuoting quoting = odbcQuotingFor(driverName);
    // The driver comes first: unixODBC takes the last DRIVER it reads, and nothing after this
    // one can spell another.
    std::string text;
    for (const auto& item : odbcServerValues(settings, driverName))
        text += odbcAttribute(item.key, item.value, quoting, item.what);
    if (!settings.catalog.empty())
        text += odbcAttribute("DATABASE", settings.catalog, quoting, "database name");
    text += odbcAttribute("UID", settings.user, quoting, "login");
    text += odbcAttribute("PWD", settings.password, quoting, "password");
    for (const auto& option : odbcDriverOptions(driverName))
        text += option.key + "=" + option.value + ";";
    return text;
}

}  // namespace talvorin::setupdata
