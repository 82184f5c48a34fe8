#include "platform/settings_files.h"

#include <optional>
#include <vector>

#include "formats/ini_text.h"
#include "platform/win32/handles.h"

#include <sddl.h>  // after <windows.h>, which it needs

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

// The user this program runs as, in the text form security descriptor strings use.
std::optional<std::string> currentUserSid()
{
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return std::nullopt;
    const win32::UniqueHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return std::nullopt;
    std::vector<unsigned char> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return std::nullopt;
    char* text = nullptr;
    if (!::ConvertSidToStringSidA(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return std::nullopt;
    const win32::UniqueLocalMemory owned(text);
    return std::string(text);
}

enum class Creation { created, existed, failed };

// Creates the file where none is, readable and writable by this user, the administrators
// and the system alone, and nothing inherited from its folder: a new file is the kit data
// file, which holds the administrator's password. A file that is there keeps its security.
Creation createOwnersOnly(const std::string& path, const std::string& section)
{
    const auto user = currentUserSid();
    if (!user) return Creation::failed;
    const std::string sddl = "D:P(A;;FA;;;" + *user + ")(A;;FA;;;BA)(A;;FA;;;SY)";
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &raw, nullptr))
        return Creation::failed;
    const win32::UniqueLocalMemory descriptor(raw);
    SECURITY_ATTRIBUTES security{sizeof security, raw, FALSE};
    HANDLE created = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, &security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                   nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Creation::existed : Creation::failed;
    }
    win32::UniqueHandle file(created);
    // The profile functions take a file's encoding from its first bytes. The section's head
    // line makes the new file 8-bit text, as one they create themselves is, whatever they
    // would make of an empty one.
    const std::size_t first = section.find_first_not_of(" \t");
    const std::size_t last = section.find_last_not_of(" \t");
    // Built in one piece: GCC 12 for i686 warns falsely about "[" + a string (-Wrestrict).
    std::string head(1, '[');
    head.append(section, first, last - first + 1).append("]\r\n");
    DWORD written = 0;
    const bool ok = ::WriteFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &written, nullptr) &&
                    written == head.size();
    file.reset();
    if (ok) return Creation::created;
    ::DeleteFileA(path.c_str());
    return Creation::failed;
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
        const auto fail = [&file]() { throw SettingsWriteError("Unable to write to " + file); };
        // The system would store a line break as the end of the line and lose the rest.
        if (!ini::canWrite(section, key, value) || isReadOnly(file)) fail();
        const std::string target = profileFile(file);
        const Creation creation = createOwnersOnly(target, section);
        if (creation == Creation::failed) fail();
        if (!::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str())) {
            // Nothing of a failed first write stays behind.
            if (creation == Creation::created) ::DeleteFileA(target.c_str());
            fail();
        }
    }
};

}  // namespace

SettingsFiles& systemSettingsFiles()
{
    static Win32SettingsFiles instance;
    return instance;
}

}  // namespace talvorin::platform
