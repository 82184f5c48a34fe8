#pragma once

#include <string>

#include "platform/registry.h"

namespace talvorin::setupdata {

inline constexpr const char* kReleaseKey = "\\SOFTWARE\\QUORVANTA\\ORVO3";
inline constexpr const char* kLegacyReleaseKey = "\\SOFTWARE\\QUORVANTA\\ORVO";

// The installed release of the application. False when its key is missing, and then the
// outputs keep what the caller had in them. A value that is no text throws
// platform::RegistryTypeError.
bool GetInstalledVersion(const platform::Registry& registry, std::string& serverPath, std::string& version);

// The older release line: true only when its key exists and names a server path.
bool GetLegacyVersion(const platform::Registry& registry, std::string& serverPath, std::string& version);

// Ordinal, case-sensitive comparison by character code; a proper prefix is the smaller.
bool ordinalLess(const std::string& a, const std::string& b);

}  // namespace talvorin::setupdata
