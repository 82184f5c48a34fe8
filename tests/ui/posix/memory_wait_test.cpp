// The memory backend's wait on a real handle: a pipe stands for a child's end signal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "ui/memory_backend.h"
#include "ui/timer.h"

namespace talvorin::ui {
namespace {

TEST(MemoryWait, WaitSleepsOnTheHandleAndFollowsTheTimers)
{
    MemoryBackend ui;
    Timer t(ui, "t", 100);
    int ticks = 0;
    t.onTimer = [&] { ++ticks; };
    t.setEnabled(true);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    // Nothing is written: the wait times out at the timer and fires it.
    ui.waitFor(fds[0]);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(ui.virtualNow(), std::chrono::milliseconds(100));
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    ui.waitFor(fds[0]);  // returns at once: the handle is signalled
    EXPECT_EQ(ticks, 1);
    ::close(fds[0]);
    ::close(fds[1]);
}

}  // namespace
}  // namespace talvorin::ui
