#pragma once

#include "platform/wait_handle.h"

namespace talvorin::platform {

// The request to quit the application from outside: SIGTERM, SIGINT or SIGHUP on POSIX.
// Installed once; the handle is signalled when a request arrives so a wait can end at once.
// Installing it also ignores SIGPIPE, so a write to a closed pipe fails instead of killing.
class QuitSignal {
public:
    static QuitSignal& instance();
    bool requested() const;
    WaitHandle handle() const;
    // For the application's own quit (and tests): behaves as a request from outside.
    void raise();

private:
    QuitSignal();
};

}  // namespace talvorin::platform
