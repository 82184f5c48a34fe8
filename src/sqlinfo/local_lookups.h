#pragma once

#include <string>

#include "platform/host_lookup.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "setupdata/installed_version.h"
#include "ui/backend.h"

namespace talvorin::sqlinfo {

inline constexpr const char* kServerPathValue = "SERVERPATH";
inline constexpr const char* kSqlTcpKey = "\\SOFTWARE\\Microsoft\\MSSQLServer\\MSSQLServer\\SuperSocketNetLib\\Tcp";
inline constexpr const char* kSqlTcpPortValue = "TcpPort";

// Lookups of this machine that choose the dialog's defaults. Each gives empty text for
// "not there"; only the address lookup ever shows a message.

// The installed server's path, ending in a backslash (a registry path is a Windows path
// on every build); empty when the key or value is missing or empty. A value that holds
// no text throws platform::RegistryTypeError.
std::string GetServerPath(const platform::Registry& registry);

// The TCP port SQL Server's default instance is configured for, exactly as stored.
std::string GetLocalSQLPort(const platform::Registry& registry);

// This machine's first IPv4 address as dotted decimal text. When the host name cannot be
// resolved it shows "Winsock error %d" in an error box and gives empty text.
std::string GetLocalIPAddress(const platform::HostLookup& host, ui::Backend& backend);

// The Windows directory with a separator appended; empty when the system names none.
// Unlike the main window's lookup it lets no pending messages through.
std::string GetWindowsDir(const platform::SystemInfo& system);

}  // namespace talvorin::sqlinfo
