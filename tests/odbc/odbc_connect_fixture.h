#pragma once
// An ODBC environment of the driver manager's for tests that open sessions themselves.

#include <gtest/gtest.h>

#include <string>

#include "odbc/odbc_connect.h"
#include "odbc/odbc_handles.h"
#include "odbc/odbc_text.h"

namespace talvorin::odbc::testing {

class OdbcConnect : public ::testing::Test {
protected:
    void SetUp() override
    {
        SQLHANDLE handle = SQL_NULL_HANDLE;
        ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle)));
        environment = OdbcEnvHandle(handle);
        ASSERT_TRUE(SQL_SUCCEEDED(SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, odbcInteger(SQL_OV_ODBC3), 0)));
        env = handle;
    }

    static SQLULEN integerAttribute(const OdbcSession& session, SQLINTEGER attribute)
    {
        SQLULEN value = 0;
        EXPECT_TRUE(SQL_SUCCEEDED(SQLGetConnectAttrW(session.get(), attribute, &value, sizeof value, nullptr)));
        return value;
    }
    static std::string catalog(const OdbcSession& session)
    {
        SQLWCHAR text[130] = {};
        SQLINTEGER bytes = 0;
        EXPECT_TRUE(
            SQL_SUCCEEDED(SQLGetConnectAttrW(session.get(), SQL_ATTR_CURRENT_CATALOG, text, sizeof text, &bytes)));
        return fromOdbcText(text, static_cast<std::size_t>(bytes) / sizeof(SQLWCHAR));
    }

    OdbcEnvHandle environment;
    SQLHANDLE env = SQL_NULL_HANDLE;
};

}  // namespace talvorin::odbc::testing
