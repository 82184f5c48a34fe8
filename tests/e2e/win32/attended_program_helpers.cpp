#include "e2e/win32/attended_program.h"

#include <filesystem>
#include <stdexcept>

#include "support/scoped_env.h"

namespace talvorin::testing {

std::string AttendedProgram::path() { return std::filesystem::path(TALVORIN_BINARY).make_preferred().string(); }

AttendedProgram::AttendedProgram(const std::vector<std::string>& args)
{
    // Appended piece by piece: GCC 12 for i686 warns falsely (-Wrestrict) on "..." + string.
    std::string commandLine = "\"";
    commandLine += path();
    commandLine += '"';
    for (const std::string& a : args) commandLine += " \"" + a + "\"";
    const ScopedEnv attended("TALVORIN_UNATTENDED", nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(path().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        throw std::runtime_error("cannot start " + path() + ": error " + std::to_string(::GetLastError()));
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);
}

AttendedProgram::~AttendedProgram()
{
    if (!wait(std::chrono::milliseconds(0))) {
        ::TerminateProcess(process_.get(), 1);
        ::WaitForSingleObject(process_.get(), 10000);
    }
}

std::optional<DWORD> AttendedProgram::wait(std::chrono::milliseconds timeout)
{
    if (::WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
}

}  // namespace talvorin::testing
