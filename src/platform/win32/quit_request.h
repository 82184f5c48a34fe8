#pragma once

#include <atomic>

#include "platform/wait_handle.h"
#include "platform/win32/handles.h"

namespace talvorin::platform {

// The request to quit from outside the message loop: Ctrl+C, Ctrl+Break or the console
// closing, and the session ending. The event lets a wait end at once.
class QuitRequest {
public:
    static QuitRequest& instance();
    bool requested() const { return requested_.load(); }
    WaitHandle handle() const { return event_.get(); }
    // Safe from any thread: the console handler runs on one of its own.
    void raise();

private:
    QuitRequest();
    std::atomic<bool> requested_{false};
    UniqueHandle event_;
};

}  // namespace talvorin::platform
