#include "platform/wait.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace talvorin::platform {

void pauseAfterFailedWait(int timeoutMs)
{
    // Short enough that a timer due meanwhile is hardly late; a wait that fails for good
    // then costs a wake-up per pause, not a busy core.
    constexpr int kPauseMs = 50;
    const int ms = timeoutMs < 0 ? kPauseMs : std::min(timeoutMs, kPauseMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace talvorin::platform
