#include "platform/posix/quit_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/foreign_text.h"

namespace talvorin::platform {
namespace {

// Shared with the signal handler, hence plain lock-free atomics and no objects.
std::atomic<bool> quitRequested{false};
std::atomic<int> wakeWriteFd{-1};
int wakeReadFd = -1;

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the quit handler needs lock-free atomics");

// Async-signal-safe. The pipe is never drained: once asked, the request stands, and a full
// pipe (EAGAIN) is as readable as a pipe holding one byte.
void requestQuit()
{
    quitRequested.store(true);
    const int fd = wakeWriteFd.load();
    if (fd < 0) return;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(fd, &byte, 1);
}

void onQuitSignal(int)
{
    const int savedErrno = errno;
    requestQuit();
    errno = savedErrno;
}

[[noreturn]] void fail(const char* what)
{
    throw std::runtime_error(std::string("Cannot set up the quit signal: ") + what + ": " +
                             foreignLine(std::strerror(errno)));
}

}  // namespace

QuitSignal::QuitSignal()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) fail("pipe2");
    wakeReadFd = ends[0];
    wakeWriteFd.store(ends[1]);

    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        if (::sigaction(sig, &action, nullptr) != 0) fail("sigaction");

    // Standard error may be a pipe whose reader has gone: a box written there is then lost,
    // but the run must go on to its end banner and exit code 0. The kit tools get the
    // default back (the spawn resets every signal).
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (::sigaction(SIGPIPE, &ignore, nullptr) != 0) fail("sigaction");
}

// The pipe lives as long as the process: a handler may still run during exit.
QuitSignal& QuitSignal::instance()
{
    static QuitSignal signal;
    return signal;
}

bool QuitSignal::requested() const { return quitRequested.load(); }

WaitHandle QuitSignal::handle() const { return wakeReadFd; }

void QuitSignal::raise() { requestQuit(); }

}  // namespace talvorin::platform
