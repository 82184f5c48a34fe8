#pragma once

#include <sys/wait.h>

namespace talvorin::platform {

// The code reported for a child whose status was taken by someone else's wait.
inline constexpr int kLostExitCode = -1;

// A child's exit status as a shell reports it: the status it exited with, or 128 plus
// the number of the signal that ended it.
inline int exitCodeOf(int waitStatus)
{
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return kLostExitCode;
}

}  // namespace talvorin::platform
