#include "platform/wait.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <vector>

namespace talvorin::platform {

int waitForAny(std::initializer_list<WaitHandle> handles, int timeoutMs)
{
    std::vector<pollfd> fds;
    std::vector<int> positions;
    int pos = 0;
    for (WaitHandle h : handles) {
        if (h != kNoWaitHandle) {
            fds.push_back({h, POLLIN, 0});
            positions.push_back(pos);
        }
        ++pos;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int left = timeoutMs;
    for (;;) {
        const int ready = ::poll(fds.data(), fds.size(), left);
        if (ready < 0 && errno == EINTR) {
            // A signal; its own handle tells whether it matters. Sleep out the rest,
            // rounded up: a rest rounded down to 0 would turn the wait into a spin.
            if (timeoutMs >= 0) {
                const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                                               std::chrono::steady_clock::now());
                left = rest.count() > 0 ? static_cast<int>(rest.count()) : 0;
            }
            continue;
        }
        if (ready < 0) return kWaitFailed;
        if (ready == 0) return kWaitTimedOut;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            // A descriptor that is not open can never be signalled: waiting on it again
            // would return at once, again and again.
            if (fds[i].revents & POLLNVAL) return kWaitFailed;
            if (fds[i].revents != 0) return positions[i];
        }
        return kWaitTimedOut;
    }
}

}  // namespace talvorin::platform
