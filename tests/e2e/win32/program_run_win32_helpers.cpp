// Runs the built Talvorin.exe from a Windows test program: unattended (TALVORIN_UNATTENDED=1,
// standard input and output on NUL, standard error to a file), with extra environment variables.
#include "e2e/program_run.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/win32/handles.h"
#include "support/fakes.h"

namespace talvorin::testing {

namespace {

using platform::UniqueHandle;

UniqueHandle inheritable(const std::string& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE h = ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

// This program's environment with the extra variables set: a block of "name=value\0".
std::string environmentBlock(const std::map<std::string, std::string>& extra)
{
    std::map<std::string, std::string> all;
    for (char** e = _environ; e && *e; ++e) {
        const std::string entry = *e;
        const std::size_t eq = entry.find('=', 1);
        if (eq != std::string::npos) all[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    // No window either: a box goes to standard error, the dialog ends as Cancel.
    // Strings moved in and appended: GCC 12 for i686 warns falsely (-Wrestrict) on assigning
    // or adding a literal to a string here.
    all.insert_or_assign("TALVORIN_UNATTENDED", std::string("1"));
    for (const auto& [k, v] : extra) all[k] = v;
    std::string block;
    for (const auto& [k, v] : all) block.append(k).append(1, '=').append(v).append(1, '\0');
    return block + '\0';
}

std::string quoted(const std::string& argument)
{
    if (argument.find_first_of(" \t\"") == std::string::npos && !argument.empty()) return argument;
    return std::string(1, '"').append(argument).append(1, '"');
}

ProgramResult run(const std::string& program, const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env, int timeoutSeconds,
                  const std::function<bool()>& terminateWhen)
{
    TempDir scratch;
    const std::string errFile = scratch.str() + "\\stderr";
    const UniqueHandle in = inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
    const UniqueHandle out = inheritable("NUL", GENERIC_WRITE, OPEN_EXISTING);
    const UniqueHandle err = inheritable(errFile, GENERIC_WRITE, CREATE_ALWAYS);

    std::string commandLine = quoted(program);
    for (const std::string& a : args) commandLine.append(1, ' ').append(quoted(a));
    std::string block = environmentBlock(env);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.get();
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    PROCESS_INFORMATION info{};
    ProgramResult result;
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, block.data(), nullptr, &startup,
                          &info))
        return result;
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    bool asked = false;
    for (;;) {
        if (terminateWhen && !asked && terminateWhen()) {
            // The application's quit message to its window thread.
            ::PostThreadMessageA(info.dwThreadId, WM_QUIT, 0, 0);
            asked = true;
        }
        if (::WaitForSingleObject(process.get(), 20) == WAIT_OBJECT_0) {
            DWORD code = 0;
            ::GetExitCodeProcess(process.get(), &code);
            result.exitCode = static_cast<int>(code);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), INFINITE);
            break;
        }
    }
    result.standardError = readFile(errFile);
    return result;
}

}  // namespace

ProgramResult runTalvorin(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                          int timeoutSeconds, const std::function<bool()>& terminateWhen)
{
    return run(TALVORIN_BINARY, args, env, timeoutSeconds, terminateWhen);
}

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env)
{
    return run(program, args, env, 60, {});
}

std::string expectedComputerName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    ::GetComputerNameA(name, &size);
    return std::string(name, size).substr(0, 15);
}

void removeSharedKitFolder(const std::string& kitDir)
{
    std::error_code error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::filesystem::remove_all(kitDir, error), error && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (error) throw std::filesystem::filesystem_error("cannot remove the kit folder", kitDir, error);
}

}  // namespace talvorin::testing
