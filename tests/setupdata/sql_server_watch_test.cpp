#include "setupdata/sql_server_watch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "platform/wait.h"
#include "support/fakes.h"
#include "support/scoped_env.h"

namespace talvorin::testing {
namespace {

using namespace std::chrono;
using setupdata::SqlError;
using ::testing::HasSubstr;

// Sleeps on the handle as the window's loop would, without a window.
struct PlainWaiter : setupdata::CallWaiter {
    void waitUntil(platform::WaitHandle handle, steady_clock::time_point until) override
    {
        platform::waitForAny({handle}, static_cast<int>(ceil<milliseconds>(until - steady_clock::now()).count()));
    }
    bool quitRequested() const override { return quit; }
    std::atomic<bool> quit{false};
};

// The fake, shared with the test, so that it outlives a worker that the watch left.
struct SharedFake : setupdata::SqlServerClient {
    std::shared_ptr<FakeSqlServer> fake = std::make_shared<FakeSqlServer>();
    std::unique_ptr<setupdata::SqlConnection> connect(const setupdata::ConnectionSettings& s) override
    {
        return fake->connect(s);
    }
};

template <typename Action>
std::string failureOf(Action action)
{
    try {
        action();
    } catch (const SqlError& e) {
        return e.what();
    }
    return "no SqlError";
}

setupdata::ConnectionSettings settings(int timeout)
{
    setupdata::ConnectionSettings s;
    s.catalog = "msdb";
    s.connectTimeoutSeconds = s.commandTimeoutSeconds = timeout;
    return s;
}

// Set when the thread that made it has ended, a while after its work: a thread that is
// not waited for is still ending when the call returns.
struct ThreadEnd {
    std::atomic<bool>* ended = nullptr;
    ~ThreadEnd()
    {
        std::this_thread::sleep_for(milliseconds(100));
        if (ended != nullptr) ended->store(true);
    }
};

TEST(SqlServerWatch, CallsThatEndBringTheirResultsAndErrorsAndTheCapHoldsTheTimeouts)
{
    PlainWaiter waiter;
    auto inner = std::make_unique<SharedFake>();
    const auto fake = inner->fake;
    std::atomic<bool> workerEnded{false};
    fake->onConnect = [&workerEnded] {
        thread_local ThreadEnd end;
        end.ended = &workerEnded;
    };
    fake->jobErrors["B"] = "The specified @job_name ('B') does not exist.";
    fake->connectErrorByCatalog["bad"] = "Login failed for user 'sa'.";
    const auto client = setupdata::watchSqlServerClient(std::move(inner), waiter);
    {
        auto msdb = client->connect(settings(60));
        // A call that has ended leaves no thread behind to race the program's own end.
        EXPECT_TRUE(workerEnded.load());
        msdb->deleteAgentJob("A");
        EXPECT_EQ(msdb->queryEdition(), fake->edition);
        EXPECT_EQ(failureOf([&] { msdb->deleteAgentJob("B"); }), fake->jobErrors["B"]);
        EXPECT_EQ(fake->openConnections, 1);
    }
    EXPECT_EQ(fake->openConnections, 0);
    auto bad = settings(15);
    bad.catalog = "bad";
    EXPECT_EQ(failureOf([&] { client->connect(bad); }), "Login failed for user 'sa'.");
    {
        ScopedEnv cap(setupdata::sqlTimeoutCapVariable, "2");
        client->connect(settings(300));
    }
    ASSERT_EQ(fake->connects.size(), 3u);
    EXPECT_EQ(fake->connects[0].connectTimeoutSeconds, 60);
    EXPECT_EQ(fake->connects[2].connectTimeoutSeconds, 2);
    EXPECT_EQ(fake->connects[2].commandTimeoutSeconds, 2);
}

TEST(SqlServerWatch, ACallThatDoesNotEndIsGivenUpAndNothingMoreReachesTheDriver)
{
    for (const char* stuck : {"connect", "edition query", "quit"}) {
        SCOPED_TRACE(stuck);
        const bool inQuery = std::string(stuck) == "edition query";
        PlainWaiter waiter;
        waiter.quit = std::string(stuck) == "quit";
        auto inner = std::make_unique<SharedFake>();
        const auto fake = inner->fake;
        // Held while closed: a driver that does not return.
        std::promise<void> opener;
        (inQuery ? fake->onEditionQuery : fake->onConnect) = [gate = opener.get_future().share()] { gate.wait(); };
        const auto client = setupdata::watchSqlServerClient(std::move(inner), waiter);

        const auto start = steady_clock::now();
        std::unique_ptr<setupdata::SqlConnection> msdb;
        const auto message = failureOf([&] {
            msdb = client->connect(settings(1));
            msdb->queryEdition();
        });
        const auto waited = steady_clock::now() - start;
        if (waiter.quit) {
            EXPECT_THAT(message, HasSubstr("asked to quit"));
        } else {
            EXPECT_THAT(message, HasSubstr("did not answer within 2 seconds"));
            EXPECT_GE(waited, seconds(2));
        }
        EXPECT_LT(waited, seconds(10));
        // The driver's handles are not touched any more: that could wait for good.
        msdb.reset();
        EXPECT_EQ(fake->openConnections, inQuery ? 1 : 0);
        waiter.quit = false;
        EXPECT_THAT(failureOf([&] { client->connect(settings(1)); }),
                    HasSubstr("An earlier call to SQL Server has not ended"));
        opener.set_value();
    }
}

}  // namespace
}  // namespace talvorin::testing
