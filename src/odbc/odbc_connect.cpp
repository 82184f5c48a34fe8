#include "odbc/odbc_connect.h"

#include <algorithm>
#include <limits>

#include "odbc/odbc_connection_string.h"
#include "odbc/odbc_diagnostics.h"
#include "odbc/odbc_private_dsn.h"
#include "odbc/odbc_text.h"

namespace talvorin::odbc {

namespace {

constexpr std::size_t kLongestText = std::numeric_limits<SQLSMALLINT>::max();

// Overwrites a buffer that held the password before it is released.
template <typename Container>
void wipe(Container& buffer)
{
    volatile auto* p = buffer.data();
    for (std::size_t i = 0; i < buffer.size(); ++i) p[i] = 0;
}

// Text for an argument that goes with its length; wiped when it goes. The buffer is made
// with room for the terminator, so that no reallocation leaves a copy behind unwiped.
class SecretText {
public:
    SecretText(const std::string& text, const std::string& what)
    {
        OdbcText converted = toOdbcText(text);
        if (converted.size() > kLongestText) {
            wipe(converted);
            throw setupdata::SqlError("The " + what + " is too long for the ODBC driver.");
        }
        units_.reserve(converted.size() + 1);
        units_.assign(converted.begin(), converted.end());
        units_.push_back(0);  // an empty value still needs a buffer to point at
        wipe(converted);
    }
    ~SecretText() { wipe(units_); }
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;

    SQLWCHAR* data() { return units_.data(); }
    SQLSMALLINT length() const { return static_cast<SQLSMALLINT>(units_.size() - 1); }

private:
    OdbcText units_;
};

[[noreturn]] void fail(SQLHANDLE dbc, const std::string& fallback)
{
    throw setupdata::SqlError(odbcFailureText(SQL_HANDLE_DBC, dbc, fallback));
}

SQLULEN seconds(int value) { return static_cast<SQLULEN>(std::max(value, 0)); }

OdbcDbcHandle newConnection(SQLHANDLE environment, const setupdata::ConnectionSettings& settings)
{
    SQLHANDLE dbc = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment, &dbc)))
        throw setupdata::SqlError(
            odbcFailureText(SQL_HANDLE_ENV, environment, "The ODBC driver manager could not create a connection."));
    OdbcDbcHandle handle(dbc);
    if (!SQL_SUCCEEDED(
            SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, odbcInteger(seconds(settings.connectTimeoutSeconds)), 0)))
        fail(dbc, "The ODBC driver manager refused the connect time-out.");
    if (settings.readOnly &&
        !SQL_SUCCEEDED(SQLSetConnectAttrW(dbc, SQL_ATTR_ACCESS_MODE, odbcInteger(SQL_MODE_READ_ONLY), 0)))
        fail(dbc, "The ODBC driver manager refused the read-only access mode.");
    return handle;
}

void connectWithString(SQLHANDLE dbc, const setupdata::ConnectionSettings& settings, const std::string& driverName)
{
    std::string connectionString = odbcConnectionString(settings, driverName);
    SecretText text(connectionString, "connection string");
    wipe(connectionString);
    const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, text.data(), text.length(), nullptr, 0, nullptr,
                                           SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) fail(dbc, "The connection to SQL Server could not be opened.");
}

void connectWithPrivateDataSource(SQLHANDLE dbc, const setupdata::ConnectionSettings& settings,
                                  const std::string& driverName)
{
    refuseNul(settings.user, "login");
    refuseNul(settings.password, "password");
    refuseNul(settings.catalog, "database name");
    SecretText user(settings.user, "login");
    SecretText password(settings.password, "password");

    if (!settings.catalog.empty()) {
        OdbcText catalog = toOdbcTextZ(settings.catalog);
        if (!SQL_SUCCEEDED(SQLSetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, catalog.data(), SQL_NTS)))
            fail(dbc, "The ODBC driver manager refused the database name.");
    }

    std::vector<OdbcValue> values = odbcServerValues(settings, driverName);
    // FreeTDS 1.3 takes APP from a connection string only: this way the session is nameless.
    for (auto& option : odbcDriverOptions(driverName)) values.push_back(std::move(option));
    // It exists only for the connect: the driver reads it there and never again.
    PrivateOdbcDataSource source(values);
    OdbcText name = toOdbcText(source.name());
    const SQLRETURN rc = SQLConnectW(dbc, name.data(), static_cast<SQLSMALLINT>(name.size()), user.data(),
                                     user.length(), password.data(), password.length());
    if (!SQL_SUCCEEDED(rc)) fail(dbc, "The connection to SQL Server could not be opened.");
}

}  // namespace

OdbcConnectWay odbcConnectWay(const setupdata::ConnectionSettings& settings, const std::string& driverName)
{
    return fitsOdbcConnectionString(settings, driverName) ? OdbcConnectWay::ConnectionString
                                                          : OdbcConnectWay::PrivateDataSource;
}

OdbcSession openOdbcSession(SQLHANDLE environment, const setupdata::ConnectionSettings& settings,
                            const std::string& driverName)
{
    OdbcDbcHandle dbc = newConnection(environment, settings);
    if (odbcConnectWay(settings, driverName) == OdbcConnectWay::ConnectionString)
        connectWithString(dbc.get(), settings, driverName);
    else
        connectWithPrivateDataSource(dbc.get(), settings, driverName);
    return OdbcSession(dbc.release());
}

}  // namespace talvorin::odbc
