#include "platform/process.h"

#include "platform/win32/handles.h"

#include <shellapi.h>

namespace talvorin::platform {

namespace {

class Win32Child final : public ChildProcess {
public:
    explicit Win32Child(UniqueHandle process) : process_(std::move(process)) {}

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
    UniqueHandle process_;
    std::optional<int> code_;
};

class ShellLauncher final : public ProcessLauncher {
public:
    LaunchResult start(const LaunchRequest& request) override
    {
        // Only a file is handed to the shell: for a folder it opens a window of Explorer, whose
        // process would then be waited for as the tool's, for good. The file is held, sharing
        // neither writes nor deletion (which a rename needs), until the shell has started it,
        // so nothing can put a folder at its name in between. A name that cannot be opened
        // goes to the shell as before, which says why (and shows its own box).
        const HANDLE opened = ::CreateFileA(request.program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const UniqueHandle held(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
        if (!held) {
            const DWORD attributes = ::GetFileAttributesA(request.program.c_str());
            // What the system says when it is asked to run a folder.
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                return {nullptr, errorText(ERROR_ACCESS_DENIED)};
        }

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
        if (!::ShellExecuteExA(&info)) return {nullptr, errorText(::GetLastError())};
        // No process (the shell handed the file to something else): nothing to wait for.
        if (info.hProcess == nullptr) return {nullptr, "the system started no process for " + request.program};
        return {std::make_unique<Win32Child>(UniqueHandle(info.hProcess)), {}};
    }
};

}  // namespace

ProcessLauncher& systemProcessLauncher()
{
    static ShellLauncher launcher;
    return launcher;
}

}  // namespace talvorin::platform
