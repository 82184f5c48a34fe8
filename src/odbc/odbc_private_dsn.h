#pragma once

#include <memory>
#include <string>
#include <vector>

#include "odbc/odbc_connection_string.h"

namespace talvorin::odbc {

// The most a value may take in a data source file: unixODBC reads at most 999 bytes of a
// line and takes the rest as a line of its own.
inline constexpr std::size_t kOdbcIniValueLimit = 900;

// An odbc.ini text holding the one data source `name` with one "key=value" line per value.
// Throws setupdata::SqlError naming the value when unixODBC would not read it back unchanged: a NUL or
// a line break in it, blanks at either end (they are trimmed), or more than
// kOdbcIniValueLimit bytes.
std::string odbcIniText(const std::string& name, const std::vector<OdbcValue>& values);

// A data source that the driver manager and the driver find by name() while this object
// lives, and that is gone afterwards. It holds `values` and
// nothing else: never a login or password, which go to SQLConnect as parameters.
//
// On POSIX it is an odbc.ini in a folder of its own (mode 0700) under TMPDIR (or /tmp),
// named to unixODBC through ODBCINI; the variable is restored and the file and folder are
// removed when the object goes. unixODBC keeps what it reads from ini files for 20 seconds
// under the data source's name, whatever file it came from, so every object has a name not
// used before in this process. The environment is changed: keep one alive at a time, on
// one thread, and only around the connect.
//
// On Windows it is a user data source named like that, made through the ODBC installer
// functions (SQLWriteDSNToIni for the driver, SQLWritePrivateProfileString for the other
// values) and removed with SQLRemoveDSNFromIni when the object goes. A data source left by a
// killed run is removed by the next connect once its process has gone.
class PrivateOdbcDataSource {
public:
    // Throws setupdata::SqlError when the data source cannot be set up.
    explicit PrivateOdbcDataSource(const std::vector<OdbcValue>& values);
    ~PrivateOdbcDataSource();
    PrivateOdbcDataSource(const PrivateOdbcDataSource&) = delete;
    PrivateOdbcDataSource& operator=(const PrivateOdbcDataSource&) = delete;

    // At most 32 characters, as SQLConnect requires.
    const std::string& name() const { return name_; }

private:
    class Parts;
    std::string name_;
    std::unique_ptr<Parts> parts_;
};

}  // namespace talvorin::odbc
