#pragma once

#include <string>

#include "setupdata/sql_server.h"

namespace talvorin::setupdata {

// Data source as the product has always formed it: address, a comma and the port,
// no blanks ("192.168.1.20,1433"; an empty port leaves the comma alone).
inline std::string dataSource(const std::string& address, const std::string& port) { return address + "," + port; }

// The settings of the run's two connections and of the dialog's test connection.
ConnectionSettings masterConnection(const std::string& dataSource, const std::string& user,
                                    const std::string& password);
ConnectionSettings msdbConnection(const std::string& dataSource, const std::string& user, const std::string& password);
ConnectionSettings dialogConnection(const std::string& dataSource, const std::string& catalog, const std::string& user,
                                    const std::string& password);

}  // namespace talvorin::setupdata
