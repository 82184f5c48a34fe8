#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include <signal.h>
#include <unistd.h>

#include "platform/posix/quit_signal.h"
#include "platform/wait.h"

namespace talvorin::platform {
namespace {

// A quit request cannot be taken back, so every case runs in a fresh process of its own
// and the other tests of this program never see it.
class QuitSignalTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

enum Outcome { kRequested = 0, kNotRequested = 1, kAlreadySet = 2 };

template <typename Request>
[[noreturn]] void requestAndReport(Request request)
{
    QuitSignal& quit = QuitSignal::instance();
    if (quit.requested() || waitForAny({quit.handle()}, 0) == 0) std::_Exit(kAlreadySet);
    request();
    const bool signalled = waitForAny({quit.handle()}, 60'000) == 0;
    std::_Exit(quit.requested() && signalled ? kRequested : kNotRequested);
}

TEST_F(QuitSignalTest, RaiseSetsTheFlagAndTheHandle)
{
    EXPECT_EXIT(requestAndReport([] { QuitSignal::instance().raise(); }), ::testing::ExitedWithCode(kRequested), "");
}

TEST_F(QuitSignalTest, HandleStaysSignalledAfterRepeatedRequests)
{
    EXPECT_EXIT(requestAndReport([] {
                    for (int i = 0; i < 100'000; ++i) QuitSignal::instance().raise();  // fills the pipe
                }),
                ::testing::ExitedWithCode(kRequested), "");
}

class QuitSignalFromOutsideTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_P(QuitSignalFromOutsideTest, SignalIsTakenAsAQuitRequest)
{
    const int sig = GetParam();
    EXPECT_EXIT(requestAndReport([sig] { ::kill(::getpid(), sig); }), ::testing::ExitedWithCode(kRequested), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, QuitSignalFromOutsideTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) {
                             return info.param == SIGTERM ? "SIGTERM" : info.param == SIGINT ? "SIGINT" : "SIGHUP";
                         });

}  // namespace
}  // namespace talvorin::platform
