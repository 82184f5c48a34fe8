#include "setupdata/installed_version.h"

#include <algorithm>

namespace talvorin::setupdata {
namespace {

// Registry texts always end in a backslash: they are Windows paths on every build.
std::string withBackslash(std::string path)
{
    if (path.empty() || path.back() != '\\') path += '\\';
    return path;
}

}  // namespace

bool GetInstalledVersion(const platform::Registry& registry, std::string& serverPath, std::string& version)
{
    const auto key = registry.openKey(kReleaseKey);
    if (!key) return false;
    serverPath = withBackslash(key->readString("ServerPath").value_or(""));
    version = key->readString("Version").value_or("");
    return true;
}

bool GetLegacyVersion(const platform::Registry& registry, std::string& serverPath, std::string& version)
{
    const auto key = registry.openKey(kLegacyReleaseKey);
    if (!key) return false;
    const std::string path = key->readString("ServerPath").value_or("");
    serverPath = path.empty() ? std::string{} : withBackslash(path);
    version = key->readString("VERSION").value_or("");
    return !serverPath.empty();
}

bool ordinalLess(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

}  // namespace talvorin::setupdata
