#include "sqlinfo/local_lookups.h"

#include <cstdio>

#include "platform/paths.h"

namespace talvorin::sqlinfo {

std::string GetServerPath(const platform::Registry& registry)
{
    const auto key = registry.openKey(setupdata::kReleaseKey);
    if (!key) return {};
    std::string path = key->readString(kServerPathValue).value_or("");
    if (!path.empty() && !platform::isDirSeparator(path.back())) path += '\\';
    return path;
}

std::string GetLocalSQLPort(const platform::Registry& registry)
{
    const auto key = registry.openKey(kSqlTcpKey);
    if (!key) return {};
    return key->readString(kSqlTcpPortValue).value_or("");
}

std::string GetLocalIPAddress(const platform::HostLookup& host, ui::Backend& backend)
{
    const platform::HostAddress found = host.localIPv4Address();
    if (found.error != 0) {
        backend.messageBox(ui::Box::error("Winsock error " + std::to_string(found.error)));
        return {};
    }
    // The first address the resolver lists, whatever it would prefer.
    if (found.addresses.empty()) return {};
    const auto& b = found.addresses.front();
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned{b[0]}, unsigned{b[1]}, unsigned{b[2]}, unsigned{b[3]});
    return text;
}

std::string GetWindowsDir(const platform::SystemInfo& system)
{
    return platform::withTrailingSeparatorUnlessEmpty(system.windowsDirectory());
}

}  // namespace talvorin::sqlinfo
