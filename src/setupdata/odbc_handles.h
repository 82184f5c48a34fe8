#pragma once

#include <utility>

#include "setupdata/odbc_api.h"

namespace talvorin::setupdata {

// Owns one ODBC handle of kind `Type` and frees it when destroyed.
template <SQLSMALLINT Type>
class OdbcHandle {
public:
    OdbcHandle() = default;
    explicit OdbcHandle(SQLHANDLE handle) : handle_(handle) {}
    ~OdbcHandle() { reset(); }

    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    OdbcHandle(OdbcHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    OdbcHandle& operator=(OdbcHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    SQLHANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    void reset()
    {
        if (handle_ != nullptr)
            SQLFreeHandle(Type, handle_);
        handle_ = nullptr;
    }

private:
    SQLHANDLE handle_ = nullptr;
};

using OdbcEnvHandle = OdbcHandle<SQL_HANDLE_ENV>;
using OdbcDbcHandle = OdbcHandle<SQL_HANDLE_DBC>;
using OdbcStmtHandle = OdbcHandle<SQL_HANDLE_STMT>;

// A connection handle that has been connected: disconnects before the handle is freed.
class OdbcSession {
public:
    explicit OdbcSession(OdbcDbcHandle dbc) : dbc_(std::move(dbc)) {}
    ~OdbcSession()
    {
        if (dbc_)
            SQLDisconnect(dbc_.get());
    }
    OdbcSession(OdbcSession&&) noexcept = default;  // the moved-from one holds no handle
    OdbcSession& operator=(OdbcSession&&) = delete;
    OdbcSession(const OdbcSession&) = delete;
    OdbcSession& operator=(const OdbcSession&) = delete;

    SQLHANDLE get() const { return dbc_.get(); }

private:
    OdbcDbcHandle dbc_;
};

}  // namespace talvorin::setupdata
