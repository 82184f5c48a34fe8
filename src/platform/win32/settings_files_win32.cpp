#include "platform/settings_files.h"

#include <optional>
#include <vector>

#include "formats/ini_text.h"
#include "platform/win32/handles.h"

#include <sddl.h>  // after <windows.h>, which it needs

namespace talvorin::platform {

namespace {

// How far the key-name buffer may grow: no setup file comes near it, and no file can make
// the program take memory without end.
constexpr std::size_t kMaxKeyNamesBuffer = std::size_t{1} << 28;

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
    const UniqueHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return std::nullopt;
    std::vector<unsigned char> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return std::nullopt;
    char* text = nullptr;
    if (!::ConvertSidToStringSidA(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return std::nullopt;
    const UniqueLocalMemory owned(text);
    return std::string(text);
}

// The section's head line: it makes a new file 8-bit text, as one the profile functions create
// themselves is (they take a file's encoding from its first bytes), whatever they would make
// of an empty one.
std::string headLine(const std::string& section)
{
    const std::size_t first = section.find_first_not_of(" \t");
    const std::size_t last = section.find_last_not_of(" \t");
    // Built in one piece: GCC 12 for i686 warns falsely about "[" + a string (-Wrestrict).
    std::string head(1, '[');
    head.append(section, first, last - first + 1).append("]\r\n");
    return head;
}

// Creates the file holding the bytes, readable and writable by this user, the administrators
// and the system alone, and nothing inherited from its folder: the copy of the kit data file
// holds the administrator's password. ERROR_SUCCESS, or the system's error (ERROR_FILE_EXISTS
// when the name is taken).
DWORD createOwnersOnly(const std::string& path, const std::string& bytes)
{
    const auto user = currentUserSid();
    if (!user) return ::GetLastError();
    const std::string sddl = "D:P(A;;FA;;;" + *user + ")(A;;FA;;;BA)(A;;FA;;;SY)";
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &raw, nullptr))
        return ::GetLastError();
    const UniqueLocalMemory descriptor(raw);
    SECURITY_ATTRIBUTES security{sizeof security, raw, FALSE};
    HANDLE created = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, &security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                   nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : error;
    }
    UniqueHandle file(created);
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        const DWORD error = ::GetLastError();
        file.reset();
        ::DeleteFileA(path.c_str());
        return error;
    }
    return ERROR_SUCCESS;
}

// The whole file, read while others may go on using it; nullopt with the system's error set.
std::optional<std::string> readWholeFile(const std::string& path)
{
    HANDLE opened = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return std::nullopt;
    const UniqueHandle file(opened);
    std::string bytes;
    char buffer[65536];
    DWORD n = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
        if (n == 0) return bytes;
        bytes.append(buffer, n);
    }
    return std::nullopt;
}

// Writes the file's data through to the disk before it takes the place of another.
bool flushToDisk(const std::string& path)
{
    HANDLE opened = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return false;
    const UniqueHandle file(opened);
    return ::FlushFileBuffers(file.get()) != 0;
}

// A file name that is deleted when it goes, unless released first: the copy until it is in place.
struct DeletedFileTraits {
    using Handle = std::string;
    static Handle invalid() noexcept { return {}; }
    static void close(const Handle& path) noexcept { ::DeleteFileA(path.c_str()); }
};
using DeletedFile = UniqueResource<DeletedFileTraits>;

struct FindTraits {
    using Handle = HANDLE;
    static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) noexcept { ::FindClose(h); }
};

// Where a name lies: its folder (empty or ending in a separator) and its own name.
std::pair<std::string, std::string> splitName(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// Gives the copy the file's own access list, which ReplaceFile would keep on Windows but Wine's
// does not; failing that, the copy keeps its owners-only list, which gives no one more.
void copyAccessList(const std::string& from, const std::string& to)
{
    DWORD size = 0;
    ::GetFileSecurityA(from.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    if (size == 0) return;
    std::vector<unsigned char> descriptor(size);
    if (::GetFileSecurityA(from.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size))
        ::SetFileSecurityA(to.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
}

bool isSharingError(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

bool processEnded(unsigned long pid)
{
    HANDLE opened = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!opened) return ::GetLastError() == ERROR_INVALID_PARAMETER;
    const UniqueHandle process(opened);
    return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

class Win32SettingsFiles final : public SettingsFiles {
public:
    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& def) const override
    {
        std::vector<char> buffer(formats::ini::kValueBufferSize);
        const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer.data(),
                                                        static_cast<DWORD>(buffer.size()), file.c_str());
        return std::string(buffer.data(), length);
    }

    int readInt(const std::string& file, const std::string& section, const std::string& key, int def) const override
    {
        return static_cast<int>(::GetPrivateProfileIntA(section.c_str(), key.c_str(), def, file.c_str()));
    }

    std::vector<std::string> readKeyNames(const std::string& file, const std::string& section) const override
    {
        std::vector<char> buffer(formats::ini::kKeyNamesBufferSize);
        DWORD length = 0;
        for (;;) {
            length = ::GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(),
                                                static_cast<DWORD>(buffer.size()), file.c_str());
            // The system cuts a list that does not fit and says so by returning the size
            // less 2; a list that only just fits costs one more read.
            if (length + 2 < buffer.size() || buffer.size() >= kMaxKeyNamesBuffer) break;
            buffer.assign(buffer.size() * 2, '\0');
        }
        std::vector<std::string> names;
        for (DWORD pos = 0; pos < length;) {
            std::string name(buffer.data() + pos);
            // The list ends at its first empty name, as every reader of it sees it.
            if (name.empty()) break;
            pos += static_cast<DWORD>(name.size()) + 1;
            names.push_back(std::move(name));
        }
        // At the bound the last name may be cut short, and then names no key.
        if (length + 2 >= buffer.size() && !names.empty()) names.pop_back();
        return names;
    }

    void writeStrings(const std::string& file, const std::string& section, const SettingsValues& values) override
    {
        const auto fail = [&file](const std::string& reason) { throw SettingsWriteError(file, reason); };
        const auto failAsTheSystemSays = [&fail]() { fail(errorText(::GetLastError())); };
        // The system would store a line break as the end of the line and lose the rest.
        for (const auto& [key, value] : values)
            if (!formats::ini::canWrite(section, key, value)) fail(formats::ini::kCannotStore);
        const std::string target = profileFile(file);
        const DWORD attributes = ::GetFileAttributesA(target.c_str());
        const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
        if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) fail("not a regular file");
        if (isReadOnly(file)) fail("the file is read-only");
        std::string initial = headLine(section);
        if (exists) {
            auto bytes = readWholeFile(target);
            if (!bytes) failAsTheSystemSays();
            initial = std::move(*bytes);
        }

        // The profile functions write a copy; the copy then takes the file's place in one step.
        const auto [folder, base] = splitName(target);
        static unsigned counter = 0;
        std::string copy;
        DWORD created = ERROR_FILE_EXISTS;
        for (int attempt = 0; attempt < 100 && created == ERROR_FILE_EXISTS; ++attempt) {
            copy = folder + settingsCopyName(base, ::GetCurrentProcessId(), counter++);
            created = createOwnersOnly(copy, initial);
        }
        if (created != ERROR_SUCCESS) fail(errorText(created));
        DeletedFile removeCopy(copy);
        for (const auto& [key, value] : values)
            if (!::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), copy.c_str()))
                failAsTheSystemSays();
        // The documented flush of what the profile functions may still hold of the copy.
        ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, copy.c_str());
        if (!flushToDisk(copy)) failAsTheSystemSays();
        if (exists) copyAccessList(target, copy);
        // ReplaceFile keeps the file's own access list and attributes; a new file keeps the copy's.
        const auto place = [&] {
            return exists ? ::ReplaceFileA(target.c_str(), copy.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                           nullptr, nullptr)
                          : ::MoveFileExA(copy.c_str(), target.c_str(),
                                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        };
        // A reader that has the file open for a moment (another run reading its settings)
        // keeps it from being replaced until it lets go.
        BOOL placed = place();
        for (int wait = 0; !placed && wait < 100 && isSharingError(::GetLastError()); ++wait) {
            ::Sleep(10);
            placed = place();
        }
        if (!placed) failAsTheSystemSays();
        removeCopy.release();
    }

    void removeAbandonedCopies(const std::string& file) override
    {
        const auto [folder, base] = splitName(profileFile(file));
        WIN32_FIND_DATAA found{};
        const UniqueResource<FindTraits> search(::FindFirstFileA((folder + "." + base + ".tmp*").c_str(), &found));
        if (!search) return;
        do {
            const auto owner = settingsCopyOwner(found.cFileName, base);
            // This process has no write under way while it looks; another one may.
            if (owner && (*owner == ::GetCurrentProcessId() || processEnded(*owner)))
                ::DeleteFileA((folder + found.cFileName).c_str());
        } while (::FindNextFileA(search.get(), &found));
    }
};

}  // namespace

SettingsFiles& systemSettingsFiles()
{
    static Win32SettingsFiles instance;
    return instance;
}

}  // namespace talvorin::platform
