#include "app/backend_call_waiter.h"

#include <algorithm>
#include <limits>

#include "ui/timer.h"

namespace talvorin::app {

void BackendCallWaiter::waitUntil(platform::WaitHandle handle, std::chrono::steady_clock::time_point until)
{
    using namespace std::chrono;
    const auto left = ceil<milliseconds>(until - steady_clock::now()).count();
    const auto interval = static_cast<int>(std::clamp<long long>(left, 1, std::numeric_limits<int>::max()));
    ui::Timer deadline(backend_, "tmrSqlDeadline", interval);
    deadline.onTimer = [] {};  // it only wakes the wait
    deadline.setEnabled(true);
    backend_.waitFor(handle);
}

}  // namespace talvorin::app
