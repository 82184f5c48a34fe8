#include "platform/posix/process_posix.h"

#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

#include "formats/command_line.h"
#include "platform/file_system.h"
#include "platform/posix/child_status.h"
#include "platform/posix/sigchld_watch.h"
#include "platform/posix/spawn.h"
#include "platform/posix/unique_fd.h"

namespace talvorin::platform {
namespace {

// Children whose ChildProcess went while they still ran. Nobody waits for them any more,
// so they are reaped here at the next start or release of a child; whatever is left when
// this program exits is adopted and reaped by init.
class AbandonedChildren {
public:
    void add(pid_t pid)
    {
        std::lock_guard lock(mutex_);
        pids_.push_back(pid);
    }

    void reap()
    {
        std::lock_guard lock(mutex_);
        std::erase_if(pids_, [](pid_t pid) {
            int status = 0;
            pid_t reaped;
            do reaped = ::waitpid(pid, &status, WNOHANG);
            while (reaped < 0 && errno == EINTR);
            return reaped != 0;  // reaped now, or already gone
        });
    }

private:
    std::mutex mutex_;
    std::vector<pid_t> pids_;
};

AbandonedChildren& abandonedChildren()
{
    static AbandonedChildren children;
    return children;
}

class PidfdChild final : public ChildProcess {
public:
    PidfdChild(pid_t pid, UniqueFd pidfd) : pid_(pid), pidfd_(std::move(pidfd)) {}

    ~PidfdChild() override
    {
        if (!exitCode()) abandonedChildren().add(pid_);
        abandonedChildren().reap();
    }

    std::optional<int> exitCode() override
    {
        if (code_) return code_;
        int status = 0;
        pid_t reaped;
        do reaped = ::waitpid(pid_, &status, WNOHANG);
        while (reaped < 0 && errno == EINTR);
        if (reaped == pid_)
            code_ = exitCodeOf(status);
        else if (reaped < 0)
            code_ = kLostExitCode;
        return code_;
    }

    // The pidfd stays readable after the child is reaped.
    WaitHandle endSignal() const override { return pidfd_.get(); }

private:
    pid_t pid_;
    UniqueFd pidfd_;
    std::optional<int> code_;
};

class SigchldChild final : public ChildProcess {
public:
    explicit SigchldChild(WatchedChild watched) : watched_(std::move(watched)) {}
    ~SigchldChild() override { unwatchChild(watched_.slot); }

    std::optional<int> exitCode() override { return watchedExitCode(watched_.slot); }
    WaitHandle endSignal() const override { return watched_.endSignal.get(); }

private:
    WatchedChild watched_;
};

int openPidfd(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

// The name as the file system has it; relative names are made absolute, since the child
// changes its directory before the exec. An errno value when there is no such file, or
// what is there is no file.
std::optional<std::string> executablePath(const std::string& program, int& error)
{
    error = ENOENT;
    if (program.empty()) return std::nullopt;
    std::optional<std::string> resolved = resolvePath(program);
    if (!resolved) return std::nullopt;
    std::error_code failed;
    std::filesystem::path absolute = std::filesystem::absolute(*resolved, failed);
    if (failed) {
        error = failed.value();
        return std::nullopt;
    }
    // Refused before the start, as the Windows build must refuse it: only a file is a tool.
    const std::filesystem::file_status status = std::filesystem::status(absolute, failed);
    if (!failed && !std::filesystem::is_regular_file(status)) {
        error = std::filesystem::is_directory(status) ? EISDIR : EACCES;
        return std::nullopt;
    }
    return absolute.string();
}

LaunchResult failedWith(int error) { return {nullptr, std::generic_category().message(error)}; }

class Launcher final : public ProcessLauncher {
public:
    explicit Launcher(bool pidfdFirst) : pidfdFirst_(pidfdFirst) {}

    LaunchResult start(const LaunchRequest& request) override
    {
        abandonedChildren().reap();

        int error = 0;
        const std::optional<std::string> path = executablePath(request.program, error);
        if (!path) return failedWith(error);
        std::string directory;
        if (!request.workingDirectory.empty())
            directory = resolvePath(request.workingDirectory).value_or(request.workingDirectory);

        std::vector<std::string> argv = formats::splitCommandLine(request.parameters);
        argv.insert(argv.begin(), request.program);

        const SpawnResult spawned = spawnDetached(*path, argv, directory);
        if (spawned.pid < 0) return failedWith(spawned.error);

        if (pidfdFirst_) {
            UniqueFd pidfd(openPidfd(spawned.pid));
            if (pidfd) return {std::make_unique<PidfdChild>(spawned.pid, std::move(pidfd)), {}};
            if (errno != ENOSYS) return abandon(spawned.pid, errno);
        }
        errno = 0;
        std::optional<WatchedChild> watched = watchChild(spawned.pid);
        if (!watched) return abandon(spawned.pid, errno);
        return {std::make_unique<SigchldChild>(std::move(*watched)), {}};
    }

private:
    // Out of descriptors or watch slots: the tool runs, but cannot be waited for.
    static LaunchResult abandon(pid_t pid, int error)
    {
        abandonedChildren().add(pid);
        return failedWith(error != 0 ? error : EAGAIN);  // all watch slots taken
    }

    bool pidfdFirst_;
};

}  // namespace

ProcessLauncher& sigchldProcessLauncher()
{
    static Launcher launcher(false);
    return launcher;
}

ProcessLauncher& systemProcessLauncher()
{
    static Launcher launcher(true);
    return launcher;
}

}  // namespace talvorin::platform
