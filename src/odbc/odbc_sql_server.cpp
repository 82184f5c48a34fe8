#include "odbc/odbc_sql_server.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "formats/ascii.h"
#include "odbc/odbc_connect.h"
#include "odbc/odbc_diagnostics.h"
#include "odbc/odbc_handles.h"
#include "odbc/odbc_text.h"

namespace talvorin::odbc {

namespace {

constexpr std::array<const char*, 4> kPreferredDrivers = {"SQL Server", "ODBC Driver 18 for SQL Server",
                                                          "ODBC Driver 17 for SQL Server", "FreeTDS"};

// sp_delete_job's @job_name and @originating_server are sysname, nvarchar(128).
constexpr SQLULEN kSysnameLength = 128;

SQLULEN seconds(int value) { return static_cast<SQLULEN>(std::max(value, 0)); }

[[noreturn]] void fail(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& fallback)
{
    throw setupdata::SqlError(odbcFailureText(handleType, handle, fallback));
}

OdbcText statementText(const char* text) { return toOdbcTextZ(text); }

class OdbcConnection final : public setupdata::SqlConnection {
public:
    OdbcConnection(std::shared_ptr<OdbcEnvHandle> environment, OdbcSession session, int commandTimeoutSeconds)
        : environment_(std::move(environment)),
          session_(std::move(session)),
          commandTimeout_(seconds(commandTimeoutSeconds))
    {
    }

    void deleteAgentJob(const std::string& jobName) override;
    std::string queryEdition() override;

private:
    OdbcStmtHandle newStatement();
    static void bindInput(SQLHANDLE stmt, SQLUSMALLINT number, SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN size,
                          SQLPOINTER value, SQLLEN bufferLength, SQLLEN* indicator);
    static void finishResults(SQLHANDLE stmt);

    std::shared_ptr<OdbcEnvHandle> environment_;  // outlives the session
    OdbcSession session_;
    SQLULEN commandTimeout_;
};

OdbcStmtHandle OdbcConnection::newStatement()
{
    SQLHANDLE stmt = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, session_.get(), &stmt)))
        fail(SQL_HANDLE_DBC, session_.get(), "The ODBC driver could not create a statement.");
    OdbcStmtHandle handle(stmt);
    if (!SQL_SUCCEEDED(SQLSetStmtAttrW(stmt, SQL_ATTR_QUERY_TIMEOUT, odbcInteger(commandTimeout_), 0)))
        fail(SQL_HANDLE_STMT, stmt, "The ODBC driver refused the command time-out.");
    return handle;
}

void OdbcConnection::bindInput(SQLHANDLE stmt, SQLUSMALLINT number, SQLSMALLINT cType, SQLSMALLINT sqlType,
                               SQLULEN size, SQLPOINTER value, SQLLEN bufferLength, SQLLEN* indicator)
{
    if (!SQL_SUCCEEDED(
            SQLBindParameter(stmt, number, SQL_PARAM_INPUT, cType, sqlType, size, 0, value, bufferLength, indicator)))
        fail(SQL_HANDLE_STMT, stmt, "The ODBC driver refused a parameter of sp_delete_job.");
}

// Reads past every remaining result so that errors raised late in a batch surface here.
void OdbcConnection::finishResults(SQLHANDLE stmt)
{
    for (;;) {
        const SQLRETURN rc = SQLMoreResults(stmt);
        if (rc == SQL_NO_DATA) return;
        if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, stmt, "The server call failed.");
    }
}

void OdbcConnection::deleteAgentJob(const std::string& jobName)
{
    OdbcText name = toOdbcText(jobName);
    if (name.size() > kSysnameLength)
        throw setupdata::SqlError("The agent job name \"" + jobName + "\" is longer than 128 characters.");
    const SQLLEN nameBytes = static_cast<SQLLEN>(name.size() * sizeof(SQLWCHAR));
    name.push_back(0);  // an empty name still needs a buffer to point at

    OdbcStmtHandle stmt = newStatement();
    SQLINTEGER returnValue = 0;
    SQLLEN returnIndicator = 0;
    SQLGUID jobId{};
    SQLWCHAR noServer[1] = {0};
    unsigned char noFlag = 0;
    SQLLEN nameIndicator = nameBytes;
    // One indicator each: the driver reads them when the call executes.
    SQLLEN nullJobId = SQL_NULL_DATA;
    SQLLEN nullServer = SQL_NULL_DATA;
    SQLLEN nullHistory = SQL_NULL_DATA;
    SQLLEN nullSchedule = SQL_NULL_DATA;

    if (!SQL_SUCCEEDED(SQLBindParameter(stmt.get(), 1, SQL_PARAM_OUTPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &returnValue,
                                        0, &returnIndicator)))
        fail(SQL_HANDLE_STMT, stmt.get(), "The ODBC driver refused the return value of sp_delete_job.");
    // The driver passes parameters by position: they follow the procedure's declaration.
    bindInput(stmt.get(), 2, SQL_C_GUID, SQL_GUID, 0, &jobId, sizeof jobId, &nullJobId);
    bindInput(stmt.get(), 3, SQL_C_WCHAR, SQL_WVARCHAR, kSysnameLength, name.data(), nameBytes, &nameIndicator);
    bindInput(stmt.get(), 4, SQL_C_WCHAR, SQL_WVARCHAR, kSysnameLength, noServer, 0, &nullServer);
    bindInput(stmt.get(), 5, SQL_C_BIT, SQL_BIT, 0, &noFlag, 1, &nullHistory);
    bindInput(stmt.get(), 6, SQL_C_BIT, SQL_BIT, 0, &noFlag, 1, &nullSchedule);

    OdbcText text = statementText("{? = call sp_delete_job(?, ?, ?, ?, ?)}");
    const SQLRETURN rc = SQLExecDirectW(stmt.get(), text.data(), SQL_NTS);
    // A call that produces no rows answers SQL_NO_DATA.
    if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, stmt.get(), "The call of sp_delete_job failed.");
    finishResults(stmt.get());
}

std::string OdbcConnection::queryEdition()
{
    OdbcStmtHandle stmt = newStatement();
    OdbcText text = statementText("SELECT SERVERPROPERTY('EDITION') AS SERVER");
    const SQLRETURN rc = SQLExecDirectW(stmt.get(), text.data(), SQL_NTS);
    if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, stmt.get(), "The edition query failed.");

    SQLSMALLINT columns = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &columns)))
        fail(SQL_HANDLE_STMT, stmt.get(), "The edition query failed.");
    SQLUSMALLINT column = 0;
    for (SQLUSMALLINT i = 1; i <= columns && column == 0; ++i) {
        SQLWCHAR name[130] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(stmt.get(), i, name, 130, &nameLength, &type, &size, &digits, &nullable)))
            fail(SQL_HANDLE_STMT, stmt.get(), "The edition query failed.");
        const auto length = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0)), 129);
        if (formats::equalsNoCase(fromOdbcText(name, length), "SERVER")) column = i;
    }
    if (column == 0) throw setupdata::SqlError("The edition query returned no column SERVER.");

    const SQLRETURN fetched = SQLFetch(stmt.get());
    if (fetched == SQL_NO_DATA) throw setupdata::SqlError("The edition query returned no row.");
    if (!SQL_SUCCEEDED(fetched)) fail(SQL_HANDLE_STMT, stmt.get(), "The edition query failed.");

    // Read in pieces: the value may be longer than any buffer chosen here.
    OdbcText value;
    OdbcText piece(256);
    const SQLLEN pieceBytes = static_cast<SQLLEN>(piece.size() * sizeof(SQLWCHAR));
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN got = SQLGetData(stmt.get(), column, SQL_C_WCHAR, piece.data(), pieceBytes, &indicator);
        if (got == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(got)) fail(SQL_HANDLE_STMT, stmt.get(), "The edition could not be read.");
        if (indicator == SQL_NULL_DATA) return {};
        const bool truncated = got == SQL_SUCCESS_WITH_INFO &&
                               (indicator == SQL_NO_TOTAL ||
                                indicator > pieceBytes - static_cast<SQLLEN>(sizeof(SQLWCHAR)));
        const std::size_t units = truncated ? piece.size() - 1 : static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
        value.insert(value.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(units));
        if (!truncated) break;
    }
    // Read the answer to its end: a statement dropped with results pending makes the
    // driver cancel the request on the server.
    SQLRETURN more;
    while (SQL_SUCCEEDED(more = SQLFetch(stmt.get()))) {}
    if (more != SQL_NO_DATA) fail(SQL_HANDLE_STMT, stmt.get(), "The edition query failed.");
    finishResults(stmt.get());
    return fromOdbcText(value.data(), value.size());
}

class OdbcSqlServerClient final : public setupdata::SqlServerClient {
public:
    std::unique_ptr<setupdata::SqlConnection> connect(const setupdata::ConnectionSettings& settings) override;

private:
    std::shared_ptr<OdbcEnvHandle> environment();
    static std::vector<std::string> installedDrivers(SQLHANDLE env);

    std::shared_ptr<OdbcEnvHandle> environment_;
};

std::shared_ptr<OdbcEnvHandle> OdbcSqlServerClient::environment()
{
    if (environment_) return environment_;
    SQLHANDLE env = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        throw setupdata::SqlError("The ODBC driver manager could not be started.");
    auto handle = std::make_shared<OdbcEnvHandle>(env);
    if (!SQL_SUCCEEDED(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, odbcInteger(SQL_OV_ODBC3), 0)))
        fail(SQL_HANDLE_ENV, env, "The ODBC driver manager does not offer ODBC 3.");
    environment_ = std::move(handle);
    return environment_;
}

std::vector<std::string> OdbcSqlServerClient::installedDrivers(SQLHANDLE env)
{
    std::vector<std::string> drivers;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLWCHAR description[512] = {};
        SQLSMALLINT descriptionLength = 0;
        SQLWCHAR attributes[1024] = {};
        SQLSMALLINT attributesLength = 0;
        const SQLRETURN rc = SQLDriversW(env, direction, description, 512, &descriptionLength, attributes, 1024,
                                         &attributesLength);
        if (!SQL_SUCCEEDED(rc)) break;
        const auto length = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(descriptionLength, 0)),
                                                  511);
        drivers.push_back(fromOdbcText(description, length));
        direction = SQL_FETCH_NEXT;
    }
    return drivers;
}

std::unique_ptr<setupdata::SqlConnection> OdbcSqlServerClient::connect(const setupdata::ConnectionSettings& settings)
{
    auto env = environment();
    const char* named = std::getenv(kOdbcDriverVariable);
    const std::string explicitDriver = named ? named : "";
    const std::string driver = chooseOdbcDriver(
        explicitDriver.empty() ? installedDrivers(env->get()) : std::vector<std::string>{}, explicitDriver);
    OdbcSession session = openOdbcSession(env->get(), settings, driver);
    return std::make_unique<OdbcConnection>(std::move(env), std::move(session), settings.commandTimeoutSeconds);
}

}  // namespace

std::string chooseOdbcDriver(const std::vector<std::string>& installed, const std::string& explicitDriver)
{
    if (!explicitDriver.empty()) return explicitDriver;
    for (const char* preferred : kPreferredDrivers)
        for (const auto& name : installed)
            if (formats::equalsNoCase(name, preferred)) return name;
    throw setupdata::SqlError("No ODBC driver for SQL Server is installed (looked for \"SQL Server\", \"ODBC Driver 18 "
                              "for SQL Server\", \"ODBC Driver 17 for SQL Server\" and \"FreeTDS\").");
}

std::unique_ptr<setupdata::SqlServerClient> makeOdbcSqlServerClient()
{
    return std::make_unique<OdbcSqlServerClient>();
}

}  // namespace talvorin::odbc
