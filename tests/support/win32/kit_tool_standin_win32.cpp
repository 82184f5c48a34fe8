#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/handles.h"
#include "support/kit_tool_standin.h"

using namespace talvorin;

namespace {

std::string baseName(std::string_view path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
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

// CreateFile's "no handle" as the owner's.
platform::UniqueHandle ownFile(HANDLE file)
{
    return platform::UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

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
    const auto file = ownFile(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return platform::errorText(::GetLastError());
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return platform::errorText(::GetLastError());
    return written == bytes.size() ? "" : "short write";
}

std::string createEmptyFile(const std::string& path)
{
    const auto file = ownFile(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? "" : platform::errorText(::GetLastError());
}
