// The private data source on Windows: not offered. Microsoft's drivers take every value in
// the connection string ("}}" stands for "}"), so only another driver given a value that
// string cannot carry gets here, and it is refused rather than written to the registry.
#include "odbc/odbc_private_dsn.h"

namespace talvorin::setupdata {

class PrivateOdbcDataSource::Parts {};

PrivateOdbcDataSource::PrivateOdbcDataSource(const std::vector<OdbcValue>& values)
{
    (void)values;
    throw SqlError(
        "The connection values cannot be passed to this ODBC driver: a value holding \"}\" "
        "together with \";\" or a leading \"{\" needs one of Microsoft's SQL Server drivers.");
}

PrivateOdbcDataSource::~PrivateOdbcDataSource() = default;

}  // namespace talvorin::setupdata
