#pragma once

#include <initializer_list>

#include "platform/wait_handle.h"

namespace talvorin::platform {

// What waitForAny gives besides the position of a signalled handle.
inline constexpr int kWaitTimedOut = -1;
// The system could not wait (a handle that is none, no memory): the call returned at once.
inline constexpr int kWaitFailed = -2;
// Windows: a window message arrived, for the caller to handle.
inline constexpr int kWaitMessage = -3;

// Sleeps until one of the handles is signalled or the time-out (milliseconds; negative:
// none) has passed. Returns the position of a signalled handle or one of the values above.
// kNoWaitHandle entries are passed over.
int waitForAny(std::initializer_list<WaitHandle> handles, int timeoutMs);

// For a caller that waits in a loop: after a failed wait, which returned at once, sleeps a
// little (at most the time-out) so that the loop goes on without spinning.
void pauseAfterFailedWait(int timeoutMs);

}  // namespace talvorin::platform
