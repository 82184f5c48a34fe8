#pragma once

#include <cstdint>

// The ODBC headers, with what each platform needs before them.
#ifdef _WIN32
#include "platform/win32/windows_api.h"
#endif

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

static_assert(sizeof(SQLWCHAR) == 2, "the ODBC wide functions must take UTF-16");

// An integer attribute value, which ODBC passes in the pointer argument.
inline SQLPOINTER odbcInteger(SQLULEN value)
{
    return reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(value));
}
