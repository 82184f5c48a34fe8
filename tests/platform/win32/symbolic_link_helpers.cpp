#include "platform/win32/symbolic_link.h"

#include <stdexcept>

#include "platform/win32/windows_api.h"

namespace talvorin::testing {

namespace {

using UnixFileName = char*(CDECL*)(LPCWSTR);

std::string unixName(const std::string& path)
{
    const auto convert = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    std::wstring wide(path.size() + 1, L'\0');
    wide.resize(static_cast<std::size_t>(
        ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()))));
    char* name = convert ? convert(wide.c_str()) : nullptr;
    if (!name) throw std::runtime_error("no Unix name for " + path);
    std::string out(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return out;
}

std::string quoted(const std::string& word)
{
    if (word.find_first_of("'\"") != std::string::npos) throw std::invalid_argument("a quote in " + word);
    return "'" + word + "'";
}

// Runs a shell command on the Unix side. Wine starts a Unix program without a handle to wait
// for, so the command ends by creating a marker file, which is waited for.
void runUnix(const std::string& folder, const std::string& command)
{
    const std::string marker = folder + "\\unix-command-done";
    std::string line = "/bin/sh -c \"" + command + " && touch " + quoted(unixName(marker)) + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        throw std::runtime_error("cannot start " + line);
    if (process.hThread) ::CloseHandle(process.hThread);
    if (process.hProcess) ::CloseHandle(process.hProcess);
    // A generous bound: the command takes milliseconds, but the machine may be busy.
    for (int i = 0; i < 6000 && ::GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) ::Sleep(10);
    if (!::DeleteFileA(marker.c_str())) throw std::runtime_error("the Unix command did not finish: " + line);
}

}  // namespace

bool underWine() { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

ScopedSymbolicLink::ScopedSymbolicLink(const std::string& folder, const std::string& name, const std::string& target,
                                       bool toFolder)
    : folder_(folder), name_(name), toFolder_(toFolder)
{
    if (underWine()) {
        runUnix(folder, "ln -s " + quoted(target) + " " + quoted(unixName(folder + "\\" + name)));
        return;
    }
    const DWORD flags = (toFolder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (!::CreateSymbolicLinkA((folder + "\\" + name).c_str(), target.c_str(), flags))
        throw std::runtime_error("cannot link " + name + " to " + target);
}

ScopedSymbolicLink::~ScopedSymbolicLink()
{
    const std::string link = folder_ + "\\" + name_;
    try {
        if (underWine())
            runUnix(folder_, "rm -f " + quoted(unixName(link)));
        else if (toFolder_)
            ::RemoveDirectoryA(link.c_str());
        else
            ::DeleteFileA(link.c_str());
    } catch (const std::exception&) {
        // Left in the test's folder, which then stays behind.
    }
}

}  // namespace talvorin::testing
