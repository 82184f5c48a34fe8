#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "platform/wait.h"

namespace talvorin::platform {
namespace {

class Pipe {
public:
    Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
    ~Pipe()
    {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    int readEnd() const { return fds_[0]; }
    void signal() { ASSERT_EQ(::write(fds_[1], "x", 1), 1); }

private:
    int fds_[2];
};

// A wait must sleep its whole time-out: one that comes back early makes every caller
// look again at once, and a loop that should sleep spins instead.
TEST(WaitForAny, SleepsAtLeastTheTimeOutEvenWhenItIsShort)
{
    Pipe quiet;
    for (int ms : {1, 2, 5}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(waitForAny({quiet.readEnd()}, ms), -1);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(ms)) << ms;
    }
}

TEST(WaitForAny, TellsWhichHandleWasSignalledAndPassesOverMissingOnes)
{
    Pipe a, b;
    b.signal();
    EXPECT_EQ(waitForAny({kNoWaitHandle, a.readEnd(), b.readEnd()}, -1), 2);
    EXPECT_EQ(waitForAny({a.readEnd()}, 0), kWaitTimedOut);
}

TEST(WaitForAny, AWaitThatCannotBeDoneIsNoTimeOutAndNoSignal)
{
    int closed = -1;
    {
        Pipe gone;
        closed = gone.readEnd();
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(waitForAny({closed}, 60'000), kWaitFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
}  // namespace talvorin::platform
