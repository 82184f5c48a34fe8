#include "platform/registry.h"

#include <algorithm>
#include <stdexcept>

#include "platform/win32/handles.h"

namespace talvorin::platform {

namespace {

class Win32RegistryKey final : public RegistryKey {
public:
    explicit Win32RegistryKey(UniqueRegistryKey key) : key_(std::move(key)) {}

    std::optional<std::string> readString(const std::string& valueName) const override
    {
        std::string data;
        DWORD size = 0;
        // The first pass asks for the size; the value may still grow before the next.
        for (;;) {
            DWORD type = 0;
            DWORD got = size;
            data.resize(size);
            const LONG rc = ::RegQueryValueExA(key_.get(), valueName.c_str(), nullptr, &type,
                                               size == 0 ? nullptr : reinterpret_cast<BYTE*>(data.data()), &got);
            if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
            if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)
                throw std::runtime_error("The registry value \"" + valueName +
                                         "\" cannot be read: " + errorText(static_cast<DWORD>(rc)));
            if (type != REG_SZ && type != REG_EXPAND_SZ)
                throw RegistryTypeError("The registry value \"" + valueName + "\" does not hold text");
            if (rc == ERROR_SUCCESS && (got <= size || got == 0)) {
                data.resize(std::min(got, size));
                break;
            }
            size = got;
        }
        // The text as stored, up to its terminating NUL (which a value need not have).
        const std::size_t end = data.find('\0');
        if (end != std::string::npos) data.resize(end);
        return data;
    }

private:
    UniqueRegistryKey key_;
};

class Win32Registry final : public Registry {
public:
    std::unique_ptr<RegistryKey> openKey(const std::string& path) const override
    {
        // The system takes paths relative to the root and refuses a leading backslash.
        const std::size_t start = path.find_first_not_of('\\');
        const std::string relative = start == std::string::npos ? std::string() : path.substr(start);
        UniqueRegistryKey key;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, relative.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
            return nullptr;
        return std::make_unique<Win32RegistryKey>(std::move(key));
    }
};

}  // namespace

Registry& systemRegistry()
{
    static Win32Registry instance;
    return instance;
}

}  // namespace talvorin::platform
