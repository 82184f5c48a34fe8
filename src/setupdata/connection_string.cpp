#include "setupdata/connection_string.h"

namespace talvorin::setupdata {

ConnectionSettings masterConnection(const std::string& dataSource, const std::string& user, const std::string& password)
{
    return {dataSource, "master", user, password, 60, 300, false};
}

ConnectionSettings msdbConnection(const std::string& dataSource, const std::string& user, const std::string& password)
{
    // The data-access layer's defaults: this connection was never given its own.
    return {dataSource, "msdb", user, password, 15, 30, false};
}

ConnectionSettings dialogConnection(const std::string& dataSource, const std::string& catalog, const std::string& user,
                                    const std::string& password)
{
    return {dataSource, catalog, user, password, 60, 300, true};
}

}  // namespace talvorin::setupdata
