#pragma once

#include <atomic>
#include <functional>
#include <memory>

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

// Runs `work` on a thread of its own that nobody joins: the process may end while it
// still runs. On POSIX it takes no signals, so SIGTERM and SIGCHLD reach the main
// thread's handlers and never interrupt the work. Throws std::system_error when no
// thread can be started.
void runDetached(std::function<void()> work);

}  // namespace talvorin::platform
