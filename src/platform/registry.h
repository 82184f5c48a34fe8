#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace talvorin::platform {

// A value exists but holds no text (a DWORD, binary data, a multi-string).
class RegistryTypeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An open key below HKEY_LOCAL_MACHINE, read access only.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // The value's text (an expandable string unexpanded); nullopt when the value is
    // missing. Names are matched without regard to case. Throws RegistryTypeError.
    virtual std::optional<std::string> readString(const std::string& valueName) const = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    // Opens a key below HKEY_LOCAL_MACHINE ("\SOFTWARE\QUORVANTA\ORVO3"; the leading
    // backslash is optional); null when the key does not exist. Never creates anything.
    virtual std::unique_ptr<RegistryKey> openKey(const std::string& path) const = 0;
};

// The machine's registry: on POSIX the .reg file named by TALVORIN_REGISTRY, read anew
// for every key opened; every key is missing when the variable is unset.
Registry& systemRegistry();

}  // namespace talvorin::platform
