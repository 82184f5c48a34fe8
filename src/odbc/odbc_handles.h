#pragma once

#include "platform/unique_resource.h"
#include "odbc/odbc_api.h"

namespace talvorin::odbc {

// An ODBC handle of kind `Type`, freed when it goes.
template <SQLSMALLINT Type>
struct OdbcHandleTraits {
    using Handle = SQLHANDLE;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle handle) noexcept { SQLFreeHandle(Type, handle); }
};

using OdbcEnvHandle = platform::UniqueResource<OdbcHandleTraits<SQL_HANDLE_ENV>>;
using OdbcDbcHandle = platform::UniqueResource<OdbcHandleTraits<SQL_HANDLE_DBC>>;
using OdbcStmtHandle = platform::UniqueResource<OdbcHandleTraits<SQL_HANDLE_STMT>>;

// A connection handle that has been connected: disconnected before the handle is freed.
struct OdbcSessionTraits {
    using Handle = SQLHANDLE;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle dbc) noexcept
    {
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }
};

using OdbcSession = platform::UniqueResource<OdbcSessionTraits>;

}  // namespace talvorin::odbc
