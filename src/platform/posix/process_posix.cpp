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

#include "platform/file_system.h"
#include "platform/posix/child_status.h"
#include "platform/posix/sigchld_watch.h"
#include "platform/posix/spawn.h"
#include "platform/posix/unique_fd.h"

namespace talvorin::platform {
namespace posix {
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
        if (reaped == pid_) code_ = exitCodeOf(status);
        else if (reaped < 0) code_ = kLostExitCode;
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
// changes its directory before the exec.
std::optional<std::string> executablePath(const std::string& program)
{
    if (program.empty()) return std::nullopt;
    std::optional<std::string> resolved = resolvePath(program);
    if (!resolved) return std::nullopt;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(*resolved, error);
    if (error) return std::nullopt;
    return absolute.string();
}

class Launcher final : public ProcessLauncher {
public:
    explicit Launcher(bool pidfdFirst) : pidfdFirst_(pidfdFirst) {}

    std::unique_ptr<ChildProcess> start(const std::string& program, const std::string& parameters,
                                        const std::string& workingDirectory) override
    {
        abandonedChildren().reap();

        const std::optional<std::string> path = executablePath(program);
        if (!path) return nullptr;
        std::string directory;
        if (!workingDirectory.empty())
            directory = resolvePath(workingDirectory).value_or(workingDirectory);

        std::vector<std::string> argv = splitCommandLine(parameters);
        argv.insert(argv.begin(), program);

        const SpawnResult spawned = spawnDetached(*path, argv, directory);
        if (spawned.pid < 0) return nullptr;

        if (pidfdFirst_) {
            UniqueFd pidfd(openPidfd(spawned.pid));
            if (pidfd) return std::make_unique<PidfdChild>(spawned.pid, std::move(pidfd));
            if (errno != ENOSYS) return abandon(spawned.pid);
        }
        std::optional<WatchedChild> watched = watchChild(spawned.pid);
        if (!watched) return abandon(spawned.pid);
        return std::make_unique<SigchldChild>(std::move(*watched));
    }

private:
    // Out of descriptors or watch slots: the tool runs, but cannot be waited for.
    static std::unique_ptr<ChildProcess> abandon(pid_t pid)
    {
        abandonedChildren().add(pid);
        return nullptr;
    }

    bool pidfdFirst_;
};

}  // namespace

ProcessLauncher& sigchldProcessLauncher()
{
    static Launcher launcher(false);
    return launcher;
}

}  // namespace posix

ProcessLauncher& systemProcessLauncher()
{
    static posix::Launcher launcher(true);
    return launcher;
}

}  // namespace talvorin::platform
