#include "platform/wait.h"

#include <gtest/gtest.h>

#include "platform/win32/handles.h"

namespace talvorin::platform {
namespace {

TEST(Win32Wait, EndsOnASignalledHandleATimeOutOrAWindowMessage)
{
    const UniqueHandle unset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const UniqueHandle set(::CreateEventA(nullptr, TRUE, TRUE, nullptr));
    EXPECT_EQ(waitForAny({unset.get(), kNoWaitHandle, set.get()}, 5000), 2);
    EXPECT_EQ(waitForAny({unset.get()}, 1), kWaitTimedOut);
    // A handle already closed: the wait fails at once, which is no time-out.
    HANDLE closed = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::CloseHandle(closed);
    EXPECT_EQ(waitForAny({closed}, 60'000), kWaitFailed);

    // A message in the queue wakes the wait at once, so that it can be handled.
    ASSERT_TRUE(::PostThreadMessageA(::GetCurrentThreadId(), WM_USER, 0, 0));
    EXPECT_EQ(waitForAny({unset.get()}, -1), kWaitMessage);  // no time-out: only the message can end it
    MSG message{};
    EXPECT_TRUE(::PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_REMOVE));
}

}  // namespace
}  // namespace talvorin::platform
