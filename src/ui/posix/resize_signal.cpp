#include "ui/posix/resize_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace talvorin::ui {
namespace {

std::atomic<int> wakeWriteFd{-1};
int wakeReadFd = -1;

void onResize(int)
{
    const int savedErrno = errno;
    const int fd = wakeWriteFd.load();
    const char byte = 1;
    if (fd >= 0) [[maybe_unused]]
        const ssize_t ignored = ::write(fd, &byte, 1);
    errno = savedErrno;
}

}  // namespace

ResizeSignal::ResizeSignal()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;  // resizes are then seen at the next redraw
    wakeReadFd = ends[0];
    wakeWriteFd.store(ends[1]);
    struct sigaction action {};
    action.sa_handler = onResize;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGWINCH, &action, nullptr);
}

ResizeSignal& ResizeSignal::instance()
{
    static ResizeSignal signal;
    return signal;
}

platform::WaitHandle ResizeSignal::handle() const { return wakeReadFd; }

bool ResizeSignal::take()
{
    if (wakeReadFd < 0) return false;
    bool any = false;
    char bytes[64];
    while (::read(wakeReadFd, bytes, sizeof bytes) > 0) any = true;
    return any;
}

}  // namespace talvorin::ui
