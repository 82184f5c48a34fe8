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
    const DWORD attributes = attributesOf(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) failAppend(path, "not a regular file");
        if (attributes & FILE_ATTRIBUTE_READONLY) failAppend(path, "the file is read-only");
    }
    // Others may read the log between two lines, never write it.
    HANDLE raw = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) failAppend(path, win32::errorText(::GetLastError()));
    const win32::UniqueHandle file(raw);
    if (bytes.empty()) return;

    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) failAppend(path, win32::errorText(::GetLastError()));
    std::string text;
    if (size.QuadPart > 0) {
        LARGE_INTEGER last{};
        last.QuadPart = size.QuadPart - 1;
        char c = 0;
        DWORD read = 0;
        if (!::SetFilePointerEx(file.get(), last, nullptr, FILE_BEGIN) ||
            !::ReadFile(file.get(), &c, 1, &read, nullptr) || read != 1)
            failAppend(path, win32::errorText(::GetLastError()));
        // A file left without a final line break must not have its last line joined.
        if (c != '\n' && c != '\r') text = "\r\n";
    }
    text += bytes;
    if (!::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN))
        failAppend(path, win32::errorText(::GetLastError()));
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (!ok || written != text.size()) {
        const DWORD error = ok ? ERROR_DISK_FULL : ::GetLastError();
        // A cut line would stay in the log for good: put the file back as it was.
        ::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN);
        ::SetEndOfFile(file.get());
        failAppend(path, win32::errorText(error));
    }
}

}  // namespace talvorin::platform
