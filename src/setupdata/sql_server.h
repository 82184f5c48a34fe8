#pragma once

#include <memory>
#include <stdexcept>
#include <string>

namespace talvorin::setupdata {

// A failure of the data-access layer; what() is the provider's or the server's own
// message text, to which each caller adds its own words.
class SqlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What one connection is opened with. The values keep their meaning from the
// OLE DB connection string the product has always used (see connection_string.h).
struct ConnectionSettings {
    std::string dataSource;  // address + "," + port, no blanks
    std::string catalog;     // may be empty: the login's default database
    std::string user;
    std::string password;
    int connectTimeoutSeconds = 15;
    int commandTimeoutSeconds = 30;
    bool readOnly = false;
};

// One open connection; closed when destroyed.
class SqlConnection {
public:
    virtual ~SqlConnection() = default;

    // msdb's sp_delete_job as a stored-procedure call, @job_name set and @job_id,
    // @originating_server, @delete_history and @delete_unused_schedule sent as null.
    // The return value is not read. Throws SqlError.
    virtual void deleteAgentJob(const std::string& jobName) = 0;

    // "SELECT SERVERPROPERTY('EDITION') AS SERVER", column SERVER read as text. Throws SqlError.
    virtual std::string queryEdition() = 0;
};

// Opens connections to SQL Server.
class SqlServerClient {
public:
    virtual ~SqlServerClient() = default;
    // Throws SqlError when the connection cannot be opened.
    virtual std::unique_ptr<SqlConnection> connect(const ConnectionSettings& settings) = 0;
};

}  // namespace talvorin::setupdata
