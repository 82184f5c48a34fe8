#include "platform/worker.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/posix/unique_fd.h"
#include "platform/scope_exit.h"

namespace talvorin::platform {

struct CompletionSignal::Handles {
    UniqueFd read;
    UniqueFd write;
};

CompletionSignal::CompletionSignal() : handles_(std::make_unique<Handles>())
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
    handles_->read.reset(fds[0]);
    handles_->write.reset(fds[1]);
}

CompletionSignal::~CompletionSignal() = default;

void CompletionSignal::set() noexcept
{
    if (set_.exchange(true, std::memory_order_acq_rel)) return;
    const char byte = 1;
    // One byte in an empty pipe cannot block; the read end stays readable from now on.
    [[maybe_unused]] const auto written = ::write(handles_->write.get(), &byte, 1);
}

WaitHandle CompletionSignal::handle() const noexcept { return handles_->read.get(); }

Worker::Worker(std::function<void()> work)
{
    sigset_t all;
    sigset_t before;
    ::sigfillset(&all);
    // The new thread inherits the mask in force when it is made.
    ::pthread_sigmask(SIG_SETMASK, &all, &before);
    const auto restore = scopeExit([&before] { ::pthread_sigmask(SIG_SETMASK, &before, nullptr); });
    thread_ = std::thread(std::move(work));
}

}  // namespace talvorin::platform
