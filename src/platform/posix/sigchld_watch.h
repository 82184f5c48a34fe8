#pragma once

#include <sys/types.h>

#include <optional>

#include "platform/posix/unique_fd.h"

namespace talvorin::platform {

// For kernels without pidfd_open: a SIGCHLD handler reaps the children registered here and
// writes one byte to a pipe of each, whose read end then serves as the child's end signal.
// Children of this process that are not registered are left alone.
struct WatchedChild {
    int slot = -1;
    UniqueFd endSignal;  // readable once the child has ended
};

// Registers a child of this process. nullopt when no pipe can be made or too many
// children are watched at once.
std::optional<WatchedChild> watchChild(pid_t pid);

// The exit code once the registered child has ended; nullopt while it runs. Never blocks.
std::optional<int> watchedExitCode(int slot);

// Ends the registration. A child still running is reaped by the handler when it ends.
void unwatchChild(int slot);

}  // namespace talvorin::platform
