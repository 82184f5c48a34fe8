#include "platform/posix/spawn.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/posix/unique_fd.h"

#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif

namespace talvorin::platform::posix {
namespace {

// Everything the child needs, prepared before the fork: after it only async-signal-safe
// calls are allowed, since another thread may have held a lock of the allocator.
struct ChildPlan {
    const char* path;
    char* const* argv;
    const char* directory;  // null: stay where the parent is
    int devNull;
    int errorPipe;
    int highestFd;
    sigset_t mask;
};

// Keeps a descriptor clear of 0-2, which the child overwrites with /dev/null.
UniqueFd aboveStdio(UniqueFd fd)
{
    if (!fd || fd.get() > 2) return fd;
    return UniqueFd(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 3));
}

int highestFd()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > static_cast<rlim_t>(INT_MAX))
        return 65535;
    return static_cast<int>(limit.rlim_cur) - 1;
}

[[noreturn]] void failChild(int errorPipe, int error)
{
    while (::write(errorPipe, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

[[noreturn]] void runChild(const ChildPlan& plan)
{
    // A signal that arrives before the exec must not run this program's handlers in the
    // child: the quit handler would write into the parent's pipe.
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction action {};
        if (::sigaction(sig, nullptr, &action) != 0) continue;
        if (action.sa_handler == SIG_DFL || action.sa_handler == SIG_IGN) continue;
        action.sa_handler = SIG_DFL;
        action.sa_flags = 0;
        ::sigaction(sig, &action, nullptr);
    }

    // Its own session: the terminal's Ctrl+C and hang-up are meant for this program, and a
    // tool is never stopped by this program's quitting.
    ::setsid();

    for (int target = 0; target <= 2; ++target)
        if (::dup2(plan.devNull, target) < 0) failChild(plan.errorPipe, errno);

    if (plan.directory != nullptr && ::chdir(plan.directory) != 0) failChild(plan.errorPipe, errno);

    // Descriptors opened by libraries without O_CLOEXEC must not leak into the tool either.
    bool marked = false;
#ifdef SYS_close_range
    marked = ::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) == 0;
#endif
    if (!marked) {
        for (int fd = 3; fd <= plan.highestFd; ++fd)
            if (fd != plan.errorPipe) ::close(fd);
    }

    ::sigprocmask(SIG_SETMASK, &plan.mask, nullptr);
    ::execv(plan.path, plan.argv);
    failChild(plan.errorPipe, errno);
}

}  // namespace

SpawnResult spawnDetached(const std::string& path, const std::vector<std::string>& argv,
                          const std::string& directory)
{
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    UniqueFd devNull = aboveStdio(UniqueFd(::open("/dev/null", O_RDWR | O_CLOEXEC)));
    if (!devNull) return {-1, errno};
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return {-1, errno};
    UniqueFd readEnd = aboveStdio(UniqueFd(ends[0]));
    if (!readEnd) return {-1, errno};
    UniqueFd writeEnd = aboveStdio(UniqueFd(ends[1]));
    if (!writeEnd) return {-1, errno};

    ChildPlan plan{path.c_str(), args.data(), directory.empty() ? nullptr : directory.c_str(),
                   devNull.get(), writeEnd.get(), highestFd(), {}};
    sigemptyset(&plan.mask);

    // Signals wait until the child has reset its handlers; see runChild.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = ::fork();
    if (pid == 0) runChild(plan);
    const int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (pid < 0) return {-1, forkError};

    // The pipe closes unread when the exec succeeds; otherwise it brings the errno.
    writeEnd.reset();
    int childError = 0;
    ssize_t got;
    do got = ::read(readEnd.get(), &childError, sizeof childError);
    while (got < 0 && errno == EINTR);
    if (got != static_cast<ssize_t>(sizeof childError)) return {pid, 0};

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return {-1, childError};
}

}  // namespace talvorin::platform::posix
