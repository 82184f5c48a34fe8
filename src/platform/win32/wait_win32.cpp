#include "platform/wait.h"

#include <vector>

#include "platform/win32/windows_api.h"

namespace talvorin::platform {

// Window messages wake the wait too (kWaitMessage), so that the caller handles them: the
// window stays alive while the program waits for a tool.
int waitForAny(std::initializer_list<WaitHandle> handles, int timeoutMs)
{
    std::vector<HANDLE> waitable;
    std::vector<int> positions;
    int pos = 0;
    for (WaitHandle h : handles) {
        if (h != kNoWaitHandle) {
            waitable.push_back(h);
            positions.push_back(pos);
        }
        ++pos;
    }
    const DWORD count = static_cast<DWORD>(waitable.size());
    const DWORD rc = ::MsgWaitForMultipleObjectsEx(count, waitable.data(),
                                                   timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs),
                                                   QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (rc < WAIT_OBJECT_0 + count) return positions[rc - WAIT_OBJECT_0];
    if (rc == WAIT_OBJECT_0 + count) return kWaitMessage;
    if (rc == WAIT_TIMEOUT) return kWaitTimedOut;
    // WAIT_FAILED, or an abandoned mutex, which no caller waits on.
    return kWaitFailed;
}

}  // namespace talvorin::platform
