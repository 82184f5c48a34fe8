#include "platform/file_system.h"

#include <stdexcept>

#include "platform/win32/handles.h"

namespace talvorin::platform {

namespace {

[[noreturn]] void failAppend(const std::string& path, const std::string& reason)
{
    throw std::runtime_error("Cannot append to " + path + ": " + reason);
}

DWORD attributesOf(const std::string& path)
{
    return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
}

constexpr const char* kLinkRefused = "it is a symbolic link, which is not followed";
constexpr const char* kNotRegular = "not a regular file";

// Why an open the system refused with "access denied" was refused: the name's own
// attributes, not those of what a link there points to.
std::string whyDenied(const std::string& path)
{
    const DWORD attributes = attributesOf(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return kLinkRefused;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return kNotRegular;
        if (attributes & FILE_ATTRIBUTE_READONLY) return "the file is read-only";
    }
    return errorText(ERROR_ACCESS_DENIED);
}

// How long an open waits for a program that holds the log without sharing it; one that
// holds it longer is refused.
constexpr int kSharingRetries = 20;
constexpr DWORD kSharingRetryMs = 10;

HANDLE openOrCreate(const std::string& path, DWORD disposition)
{
    // Another run of this program may append at the same moment (its appends take turns
    // with these under the lock below); a program that opened the log without sharing
    // writes holds it, and after a moment's wait the append is refused. The link itself is
    // opened, never what it points to, so the checks below see what is really there.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt <= kSharingRetries; ++attempt) {
        if (attempt > 0) ::Sleep(kSharingRetryMs);
        file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_SHARING_VIOLATION) break;
    }
    return file;
}

// The appends of all runs take turns: each holds one byte, far beyond any log's end, locked
// while it looks at the end, writes and (on failure) cuts back. Nothing of the file itself
// is locked, so readers never wait.
class AppendTurn {
public:
    explicit AppendTurn(HANDLE file) : file_(file)
    {
        overlapped_.OffsetHigh = kTurnOffsetHigh;
        locked_ = ::LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &overlapped_);
    }
    ~AppendTurn()
    {
        if (locked_) ::UnlockFileEx(file_, 0, 1, 0, &overlapped_);
    }
    AppendTurn(const AppendTurn&) = delete;
    AppendTurn& operator=(const AppendTurn&) = delete;
    explicit operator bool() const { return locked_; }

private:
    static constexpr DWORD kTurnOffsetHigh = 0x7fffffff;
    HANDLE file_;
    OVERLAPPED overlapped_{};
    BOOL locked_;
};

// Opens the log, or creates it where nothing is: never through a link, never a folder,
// device or pipe. The checks are made on the opened handle, so nothing can be put in
// between.
UniqueHandle openLog(const std::string& path)
{
    HANDLE raw = INVALID_HANDLE_VALUE;
    // Opening and creating are two steps, as creating through a link that points nowhere
    // must not happen: Wine's "open always" creates the link's target. A name that can be
    // neither opened nor created new twice over is such a link.
    for (int attempt = 0; attempt < 2 && raw == INVALID_HANDLE_VALUE; ++attempt) {
        raw = openOrCreate(path, OPEN_EXISTING);
        if (raw != INVALID_HANDLE_VALUE) break;
        DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            raw = openOrCreate(path, CREATE_NEW);
            if (raw != INVALID_HANDLE_VALUE) break;
            error = ::GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
        }
        failAppend(path, error == ERROR_ACCESS_DENIED ? whyDenied(path) : errorText(error));
    }
    if (raw == INVALID_HANDLE_VALUE) failAppend(path, kLinkRefused);
    UniqueHandle file(raw);

    if (::GetFileType(file.get()) != FILE_TYPE_DISK) failAppend(path, kNotRegular);
    // The attributes alone: GetFileInformationByHandle also asks for the volume's serial
    // number, which under Wine is a round trip to its mount manager, milliseconds per line.
    FILE_BASIC_INFO info{};
    if (!::GetFileInformationByHandleEx(file.get(), FileBasicInfo, &info, sizeof info))
        failAppend(path, errorText(::GetLastError()));
    if (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link or junction is refused as a link; any other kind of reparse point (a file
        // kept elsewhere, say) is not a plain file to append to either.
        FILE_ATTRIBUTE_TAG_INFO tag{};
        const bool known = ::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag);
        failAppend(path, !known || IsReparseTagNameSurrogate(tag.ReparseTag) ? kLinkRefused : kNotRegular);
    }
    if (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) failAppend(path, kNotRegular);
    // Under Wine run by root a read-only file opens for writing all the same.
    if (info.FileAttributes & FILE_ATTRIBUTE_READONLY) failAppend(path, "the file is read-only");
    return file;
}

}  // namespace

// The system itself matches names without regard to case and takes either separator.
std::optional<std::string> resolvePath(const std::string& path)
{
    if (attributesOf(path) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return path;
}

bool pathExists(const std::string& path) { return attributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool fileExists(const std::string& path)
{
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string resolveForWriting(const std::string& path) { return path; }

void appendLines(const std::string& path, const std::string& bytes)
{
    const UniqueHandle file = openLog(path);
    if (bytes.empty()) return;
    const AppendTurn turn(file.get());
    if (!turn) failAppend(path, errorText(::GetLastError()));

    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) failAppend(path, errorText(::GetLastError()));
    std::string text;
    if (size.QuadPart > 0) {
        LARGE_INTEGER last{};
        last.QuadPart = size.QuadPart - 1;
        char c = 0;
        DWORD read = 0;
        if (!::SetFilePointerEx(file.get(), last, nullptr, FILE_BEGIN) ||
            !::ReadFile(file.get(), &c, 1, &read, nullptr) || read != 1)
            failAppend(path, errorText(::GetLastError()));
        // A file left without a final line break must not have its last line joined.
        if (c != '\n' && c != '\r') text = "\r\n";
    }
    text += bytes;
    if (!::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN)) failAppend(path, errorText(::GetLastError()));
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (!ok || written != text.size()) {
        const DWORD error = ok ? ERROR_DISK_FULL : ::GetLastError();
        // A cut line would stay in the log for good: put the file back as it was.
        ::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN);
        ::SetEndOfFile(file.get());
        failAppend(path, errorText(error));
    }
}

}  // namespace talvorin::platform
