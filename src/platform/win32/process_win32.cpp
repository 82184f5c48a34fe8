#include "platform/process.h"

#include "platform/win32/handles.h"

#include <shellapi.h>

namespace talvorin::platform {

namespace {

class Win32Child final : public ChildProcess {
public:
    explicit Win32Child(win32::UniqueHandle process) : process_(std::move(process)) {}

    std::optional<int> exitCode() override
    {
        if (code_ || !process_) return code_;
        // STILL_ACTIVE is also a code a tool may end with: the handle tells which it is.
        if (::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) return std::nullopt;
        DWORD code = 0;
        if (!::GetExitCodeProcess(process_.get(), &code)) code = static_cast<DWORD>(-1);
        code_ = static_cast<int>(code);
        // Nothing else needs the process once its code is known.
        process_.reset();
        return code_;
    }

    WaitHandle endSignal() const override { return process_ ? process_.get() : kNoWaitHandle; }

private:
    win32::UniqueHandle process_;
    std::optional<int> code_;
};

class ShellLauncher final : public ProcessLauncher {
public:
    LaunchResult start(const LaunchRequest& request) override
    {
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        // Without a window nobody could answer the shell's own error box: an unattended
        // run must not stop on one.
        if (request.owner == kNoWindow) info.fMask |= SEE_MASK_FLAG_NO_UI;
        info.hwnd = static_cast<HWND>(request.owner);
        info.lpVerb = nullptr;
        info.lpFile = request.program.c_str();
        info.lpParameters = request.parameters.c_str();
        info.lpDirectory = request.workingDirectory.empty() ? nullptr : request.workingDirectory.c_str();
        info.nShow = SW_HIDE;
        if (!::ShellExecuteExA(&info)) return {nullptr, win32::errorText(::GetLastError())};
        if (info.hProcess == nullptr) return {nullptr, "the system started no process for " + request.program};
        return {std::make_unique<Win32Child>(win32::UniqueHandle(info.hProcess)), {}};
    }
};

}  // namespace

ProcessLauncher& systemProcessLauncher()
{
    static ShellLauncher launcher;
    return launcher;
}

}  // namespace talvorin::platform
