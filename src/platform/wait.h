#pragma once

#include <initializer_list>

#include "platform/wait_handle.h"

namespace talvorin::platform {

// Sleeps until one of the handles is signalled or the time-out (milliseconds; negative:
// none) has passed. Returns the position of a signalled handle, or -1 on time-out.
// kNoWaitHandle entries are passed over.
int waitForAny(std::initializer_list<WaitHandle> handles, int timeoutMs);

}  // namespace talvorin::platform
