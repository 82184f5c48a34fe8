#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/windows_api.h"
#include "support/kit_tool_standin.h"

namespace {

std::string baseName(std::string_view path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string systemMessage(DWORD error)
{
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length == 0 ? "error " + std::to_string(error) : std::string(text, length);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return message;
}

// The file this program was started from: under the tool's name, whatever the command line says.
std::string modulePath()
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return "";
        if (length < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::string currentDirectory()
{
    const DWORD size = ::GetCurrentDirectoryA(0, nullptr);
    if (size == 0) return "";
    std::string directory(size, '\0');
    const DWORD length = ::GetCurrentDirectoryA(size, directory.data());
    directory.resize(length < size ? length : 0);
    return directory;
}

class File {
public:
    explicit File(HANDLE handle) : handle_(handle) {}
    ~File()
    {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace

KitToolRun observeThisRun(int argc, char** argv)
{
    KitToolRun run;
    run.commandLine = ::GetCommandLineA();
    run.program = baseName(modulePath());
    run.args.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
    run.workingDirectory = currentDirectory();
    run.pid = static_cast<long>(::GetCurrentProcessId());
    return run;
}

std::string appendInOneWrite(const std::string& path, const std::string& bytes)
{
    // FILE_APPEND_DATA alone: every write goes to the end, also when other runs append at once.
    const File file(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return systemMessage(::GetLastError());
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return systemMessage(::GetLastError());
    return written == bytes.size() ? "" : "short write";
}

std::string createEmptyFile(const std::string& path)
{
    const File file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.get() == INVALID_HANDLE_VALUE ? systemMessage(::GetLastError()) : "";
}
