#include "setupdata/odbc_connection_string.h"

#include <algorithm>
#include <cctype>

namespace talvorin::setupdata {

namespace {

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isMicrosoftDriver(const std::string& driverName)
{
    const std::string name = lowered(driverName);
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
    const std::string name = lowered(driverName);
    return name.rfind("odbc driver ", 0) == 0;
}

SqlError unpassable(const std::string& what, const std::string& reason)
{
    std::string text = "The " + what + " cannot be passed to the ODBC driver: " + reason;
    return SqlError(text);
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

std::string quoteConservative(const std::string& value, const std::string& what)
{
    if (value.find('}') == std::string::npos)
        return "{" + value + "}";
    if (value.find(';') == std::string::npos && value.front() != '{')
        return value;
    throw unpassable(what, "a \"}\" in it cannot be combined with a \";\" or a leading \"{\".");
}

}  // namespace

bool isFreeTdsDriver(const std::string& driverName)
{
    const std::string name = lowered(driverName);
    return name.find("freetds") != std::string::npos || name.find("tdsodbc") != std::string::npos;
}

OdbcQuoting odbcQuotingFor(const std::string& driverName)
{
    return isMicrosoftDriver(driverName) ? OdbcQuoting::DoubledBrace : OdbcQuoting::Conservative;
}

std::string odbcAttribute(const std::string& key, const std::string& value, OdbcQuoting quoting,
                          const std::string& what)
{
    // No connection string can carry a NUL: drivers read it as the end of the text.
    if (value.find('\0') != std::string::npos)
        throw unpassable(what, "it holds a NUL character.");
    const std::string quoted = quoting == OdbcQuoting::DoubledBrace
                                   ? quoteDoubledBrace(value)
                                   : quoteConservative(value, what);
    return key + "=" + quoted + ";";
}

std::string odbcConnectionString(const ConnectionSettings& settings, const std::string& driverName)
{
    const OdbcQuoting quoting = odbcQuotingFor(driverName);
    const std::string& source = settings.dataSource;
    const std::size_t comma = source.rfind(',');
    const std::string address = comma == std::string::npos ? source : source.substr(0, comma);
    const std::string port = comma == std::string::npos ? std::string() : source.substr(comma + 1);
    const bool freeTds = isFreeTdsDriver(driverName);

    // The driver comes first: unixODBC takes the last DRIVER it reads, and nothing after this
    // one can spell another.
    std::string text = odbcAttribute("DRIVER", driverName, quoting, "driver name");
    if (freeTds || port.empty()) {
        // FreeTDS takes the port only as an attribute of its own.
        text += odbcAttribute("SERVER", address, quoting, "server address");
        if (!port.empty())
            text += odbcAttribute("PORT", port, quoting, "port");
    } else {
        text += odbcAttribute("SERVER", address + "," + port, quoting, "server address");
    }
    if (!settings.catalog.empty())
        text += odbcAttribute("DATABASE", settings.catalog, quoting, "database name");
    text += odbcAttribute("UID", settings.user, quoting, "login");
    text += odbcAttribute("PWD", settings.password, quoting, "password");
    if (freeTds) {
        // Without these FreeTDS guesses the protocol version and asks for TLS, which the
        // product never used.
        text += "TDS_Version=7.4;Encryption=off;";
    } else if (needsEncryptOff(driverName)) {
        text += "Encrypt=no;";
    }
    return text;
}

}  // namespace talvorin::setupdata
