#include "odbc/odbc_diagnostics.h"

#include <algorithm>
#include <cstddef>

#include "odbc/odbc_text.h"
#include "platform/foreign_text.h"

namespace talvorin::odbc {

namespace {

constexpr std::size_t kMaxMessages = 6;
// Enough for any message (errors come first in the drivers' order); a server may send
// tens of thousands, and FreeTDS takes longer for each record the more there are.
constexpr SQLSMALLINT kMaxRecords = 32;

bool isWarning(const OdbcDiagnostic& record) { return record.sqlState.rfind("01", 0) == 0; }

}  // namespace

std::vector<OdbcDiagnostic> odbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    std::vector<OdbcDiagnostic> records;
    if (handle == SQL_NULL_HANDLE) return records;
    for (SQLSMALLINT number = 1; number <= kMaxRecords; ++number) {
        SQLWCHAR state[6] = {};
        SQLINTEGER nativeError = 0;
        OdbcText message(512);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, number, state, &nativeError, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<std::size_t>(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, number, state, &nativeError, message.data(),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc)) break;
        const auto used = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)),
                                                message.size() - 1);
        records.push_back({fromOdbcText(state, 5), static_cast<long>(nativeError), fromOdbcText(message.data(), used)});
    }
    return records;
}

std::string odbcFailureText(const std::vector<OdbcDiagnostic>& records, const std::string& fallback)
{
    std::vector<const OdbcDiagnostic*> ordered;
    for (const bool warnings : {false, true})
        for (const auto& record : records)
            if (isWarning(record) == warnings && !record.message.empty()) ordered.push_back(&record);

    std::vector<std::string> messages;
    for (const auto* record : ordered) {
        if (messages.size() == kMaxMessages) break;
        if (std::find(messages.begin(), messages.end(), record->message) == messages.end())
            messages.push_back(record->message);
    }
    if (messages.empty()) return fallback;

    std::string text;
    for (const auto& message : messages) {
        if (!text.empty()) text += text.back() == '.' ? " " : ". ";
        text += message;
    }
    // Servers and drivers may put line breaks and terminal commands in a message.
    return platform::foreignLine(text);
}

std::string odbcFailureText(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& fallback)
{
    return odbcFailureText(odbcDiagnostics(handleType, handle), fallback);
}

}  // namespace talvorin::odbc
