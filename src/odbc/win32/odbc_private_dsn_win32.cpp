// The private data source on Windows: a user data source of this process's own, made and
// removed through the ODBC installer functions, as a driver's setup program makes one.
#include "odbc/odbc_private_dsn.h"

#include "odbc/odbc_api.h"

#include <odbcinst.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "odbc/odbc_text.h"
#include "platform/foreign_text.h"

namespace talvorin::odbc {

namespace {

constexpr const char* kNamePrefix = "Talvorin";
const wchar_t* const kOdbcIni = L"odbc.ini";

// The installer functions keep wide text as WCHAR, which SQLWCHAR is, by another name.
const wchar_t* wide(const OdbcText& text) { return reinterpret_cast<const wchar_t*>(text.data()); }

setupdata::SqlError setupError(const std::string& step)
{
    DWORD code = 0;
    WCHAR message[SQL_MAX_MESSAGE_LENGTH] = {};
    WORD length = 0;
    std::string reason = "no reason given";
    const SQLRETURN rc = SQLInstallerErrorW(1, &code, message, SQL_MAX_MESSAGE_LENGTH, &length);
    if (SQL_SUCCEEDED(rc) && length > 0)
        reason = fromOdbcText(reinterpret_cast<const SQLWCHAR*>(message),
                              std::min<std::size_t>(length, SQL_MAX_MESSAGE_LENGTH - 1));
    return setupdata::SqlError("The private ODBC data source for this connection could not be set up (" + step +
                               "): " + platform::foreignLine(reason));
}

// The data sources of the current user only: nobody else's programs see them, and making
// one needs no administrator. Restored afterwards; the installer keeps the mode per process.
class UserDataSourceMode {
public:
    UserDataSourceMode()
    {
        if (!SQLGetConfigMode(&previous_)) previous_ = ODBC_BOTH_DSN;
        if (!SQLSetConfigMode(ODBC_USER_DSN)) throw setupError("user data sources");
    }
    ~UserDataSourceMode() { SQLSetConfigMode(previous_); }
    UserDataSourceMode(const UserDataSourceMode&) = delete;
    UserDataSourceMode& operator=(const UserDataSourceMode&) = delete;

private:
    UWORD previous_ = ODBC_BOTH_DSN;
};

// Unique in this process: "Talvorin<pid>_<n>", at most 8 + 10 + 1 + 10 characters.
std::string newName()
{
    static unsigned int counter = 0;
    return kNamePrefix + std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(++counter);
}

// The pid in a name "Talvorin<pid>_<n>"; 0 for any other name.
DWORD ownerPid(const std::string& name)
{
    const std::size_t digits = std::char_traits<char>::length(kNamePrefix);
    if (name.compare(0, digits, kNamePrefix) != 0) return 0;
    const std::size_t underscore = name.find('_', digits);
    if (underscore == std::string::npos || underscore == digits || underscore - digits > 9) return 0;
    DWORD pid = 0;
    for (std::size_t i = digits; i < underscore; ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        pid = pid * 10 + static_cast<DWORD>(name[i] - '0');
    }
    return pid;
}

bool processIsGone(DWORD pid)
{
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return ::GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    DWORD code = 0;
    const bool gone = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    ::CloseHandle(process);
    return gone;
}

// The names listed under "ODBC Data Sources", where SQLWriteDSNToIni enters each one.
std::vector<std::string> dataSourceNames()
{
    std::vector<WCHAR> buffer(4096);
    for (;;) {
        const int length = SQLGetPrivateProfileStringW(L"ODBC Data Sources", nullptr, L"", buffer.data(),
                                                       static_cast<int>(buffer.size()), kOdbcIni);
        if (length < 0 || static_cast<std::size_t>(length) + 2 < buffer.size()) break;
        buffer.assign(buffer.size() * 2, 0);
    }
    std::vector<std::string> names;
    for (const WCHAR* name = buffer.data(); *name != 0; name += std::wcslen(name) + 1)
        names.push_back(fromOdbcText(reinterpret_cast<const SQLWCHAR*>(name), std::wcslen(name)));
    return names;
}

// A program killed during a connect (TerminateProcess runs no destructor) leaves its data
// source behind; each connect removes those whose owner no longer runs.
void removeLeftoversOfDeadRuns()
{
    for (const std::string& name : dataSourceNames()) {
        const DWORD pid = ownerPid(name);
        if (pid != 0 && pid != ::GetCurrentProcessId() && processIsGone(pid))
            SQLRemoveDSNFromIniW(wide(toOdbcTextZ(name)));
    }
}

}  // namespace

// The data source goes when the object goes, also when writing it failed half-way.
class PrivateOdbcDataSource::Parts {
public:
    explicit Parts(const std::string& name) : name_(toOdbcTextZ(name)) {}
    ~Parts()
    {
        if (!made_) return;
        UWORD previous = ODBC_BOTH_DSN;
        const bool known = SQLGetConfigMode(&previous);
        SQLSetConfigMode(ODBC_USER_DSN);
        SQLRemoveDSNFromIniW(wide(name_));
        if (known) SQLSetConfigMode(previous);
    }
    Parts(const Parts&) = delete;
    Parts& operator=(const Parts&) = delete;

    void make(const std::vector<OdbcValue>& values)
    {
        const UserDataSourceMode mode;
        removeLeftoversOfDeadRuns();
        for (const auto& item : values) {
            if (item.key != "DRIVER") continue;
            made_ = true;  // a failing call may still have left part of it
            if (!SQLWriteDSNToIniW(wide(name_), wide(toOdbcTextZ(item.value)))) throw setupError("data source");
        }
        if (!made_) throw setupdata::SqlError("The private ODBC data source for this connection names no driver.");
        for (const auto& item : values) {
            if (item.key == "DRIVER") continue;
            if (!SQLWritePrivateProfileStringW(wide(name_), wide(toOdbcTextZ(item.key)), wide(toOdbcTextZ(item.value)),
                                               kOdbcIni))
                throw setupError(item.what);
        }
    }

private:
    OdbcText name_;
    bool made_ = false;
};

PrivateOdbcDataSource::PrivateOdbcDataSource(const std::vector<OdbcValue>& values) : name_(newName())
{
    // The values are checked as for a data source file before anything is written.
    (void)odbcIniText(name_, values);
    parts_ = std::make_unique<Parts>(name_);
    parts_->make(values);
}

PrivateOdbcDataSource::~PrivateOdbcDataSource() = default;

}  // namespace talvorin::odbc
