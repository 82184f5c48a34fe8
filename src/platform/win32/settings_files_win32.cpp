#include "platform/settings_files.h"

#include <vector>

#include "platform/ini_text.h"
#include "platform/win32/windows_api.h"

namespace talvorin::platform {

namespace {

// A name that the system does not know as a key of the section: a name the key-name
// buffer cut short.
bool namesKey(const std::string& file, const std::string& section, const std::string& name)
{
    // No value can hold a line break, so this default never comes back for a real key.
    constexpr const char* kAbsent = "\n";
    char buffer[4] = {};
    ::GetPrivateProfileStringA(section.c_str(), name.c_str(), kAbsent, buffer, sizeof buffer, file.c_str());
    return buffer[0] != '\n';
}

// The file the profile functions use for `file`: a bare name means the Windows directory.
std::string profileFile(const std::string& file)
{
    if (file.find_first_of("\\/") != std::string::npos) return file;
    char directory[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) return file;
    return std::string(directory, length) + "\\" + file;
}

// A file marked read-only. The system refuses to write it, except under Wine run by root,
// where the mark is only a missing write permission that root does not need.
bool isReadOnly(const std::string& file)
{
    const DWORD attributes = ::GetFileAttributesA(profileFile(file).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

class Win32SettingsFiles final : public SettingsFiles {
public:
    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& def) const override
    {
        std::vector<char> buffer(ini::kValueBufferSize);
        const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer.data(),
                                                        static_cast<DWORD>(buffer.size()), file.c_str());
        return std::string(buffer.data(), length);
    }

    int readInt(const std::string& file, const std::string& section, const std::string& key,
                int def) const override
    {
        return static_cast<int>(::GetPrivateProfileIntA(section.c_str(), key.c_str(), def, file.c_str()));
    }

    std::vector<std::string> readKeyNames(const std::string& file, const std::string& section) const override
    {
        std::vector<char> buffer(ini::kKeyNamesBufferSize);
        const DWORD length = ::GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(),
                                                        static_cast<DWORD>(buffer.size()), file.c_str());
        std::vector<std::string> names;
        for (DWORD pos = 0; pos < length;) {
            std::string name(buffer.data() + pos);
            // The list ends at its first empty name, as every reader of it sees it.
            if (name.empty()) break;
            pos += static_cast<DWORD>(name.size()) + 1;
            names.push_back(std::move(name));
        }
        // A full buffer ends with the first name that did not fit, cut short.
        if (length == buffer.size() - 2 && !names.empty() && !namesKey(file, section, names.back()))
            names.pop_back();
        return names;
    }

    void writeString(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) override
    {
        // The system would store a line break as the end of the line and lose the rest.
        if (!ini::canWrite(section, key, value) || isReadOnly(file) ||
            !::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()))
            throw SettingsWriteError("Unable to write to " + file);
    }
};

}  // namespace

SettingsFiles& systemSettingsFiles()
{
    static Win32SettingsFiles instance;
    return instance;
}

}  // namespace talvorin::platform
