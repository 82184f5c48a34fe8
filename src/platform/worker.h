#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "platform/wait_handle.h"

namespace talvorin::platform {

// Set once, from any thread; the event loop can sleep on its handle until it is.
class CompletionSignal {
public:
    CompletionSignal();  // throws std::system_error when the system has no handle to give
    ~CompletionSignal();
    CompletionSignal(const CompletionSignal&) = delete;
    CompletionSignal& operator=(const CompletionSignal&) = delete;

    void set() noexcept;
    bool isSet() const noexcept { return set_.load(std::memory_order_acquire); }
    WaitHandle handle() const noexcept;

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
    std::atomic<bool> set_{false};
};

// Runs `work` on a thread of its own. Work that has said it is done is joined, which is
// quick: the thread only unwinds. Otherwise the thread is let go when the Worker goes, and
// the process may end while it still runs (a driver call that never returns). A finished
// thread left to end on its own would race the process's exit: glibc frees a thread's
// last buffers (dlerror's among them) only after the thread is gone for LeakSanitizer,
// which then reports them. On POSIX it takes no signals, so SIGTERM and SIGCHLD reach the
// main thread's handlers and never interrupt the work.
class Worker {
public:
    explicit Worker(std::function<void()> work);  // throws std::system_error when no thread can be started
    ~Worker()
    {
        if (thread_.joinable()) thread_.detach();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Only for work that has set its signal: a thread still in the driver would hold it.
    void join() { thread_.join(); }

private:
    std::thread thread_;
};

}  // namespace talvorin::platform
