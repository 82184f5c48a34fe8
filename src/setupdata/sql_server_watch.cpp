#include "setupdata/sql_server_watch.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/worker.h"

namespace talvorin::setupdata {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kStillBusy = "An earlier call to SQL Server has not ended; no further call is made.";

// What the client, its connections and their workers share; a worker still busy keeps it,
// and so the driver's handles, alive.
struct Shared {
    explicit Shared(std::unique_ptr<SqlServerClient> client) : inner(std::move(client)) {}
    std::unique_ptr<SqlServerClient> inner;
    std::atomic<bool> abandoned{false};
    // Connections closed after a call was abandoned: closing them could wait for good on
    // the driver's locks, so they are kept instead.
    std::vector<std::shared_ptr<SqlConnection>> kept;
};

// The result outlives the call's owner when the call was given up; `owner` is declared first
// so that a late result (a connection) is closed before the client it came from goes.
template <typename T>
struct Outcome {
    explicit Outcome(std::shared_ptr<Shared> shared) : owner(std::move(shared)) {}
    std::shared_ptr<Shared> owner;
    std::shared_ptr<platform::CompletionSignal> done = std::make_shared<platform::CompletionSignal>();
    std::optional<T> value;
    std::exception_ptr error;
};

std::optional<int> timeoutCap()
{
    const char* text = std::getenv(sqlTimeoutCapVariable);
    if (text == nullptr) return std::nullopt;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value <= 0 || value > 86400) return std::nullopt;
    return static_cast<int>(value);
}

// The work runs on a worker, not here, because the driver may never return (unixODBC
// with FreeTDS loops for good on some refusals) and a call may outlast its time-out by
// another one (FreeTDS waits for its cancel as long again). Everything else, the window
// and the log included, stays on this thread: the widgets and the log are not made for
// two threads, and this one alone decides when a call is given up.
template <typename T>
T runWatched(const std::shared_ptr<Shared>& shared, CallWaiter& waiter, int timeoutSeconds,
             std::function<T(Shared&)> work)
{
    if (shared->abandoned.load()) throw SqlError(kStillBusy);
    auto outcome = std::make_shared<Outcome<T>>(shared);
    std::optional<platform::Worker> worker;
    try {
        worker.emplace([outcome, work = std::move(work)]() mutable {
            try {
                outcome->value.emplace(work(*outcome->owner));
            } catch (...) {
                outcome->error = std::current_exception();
            }
            // Let go of the connection and the client before saying so: whatever the main
            // thread releases next is then closed there, not on this thread a moment later.
            // Only a call given up leaves its outcome (and its late result) to this thread.
            work = nullptr;
            const auto done = outcome->done;
            outcome.reset();
            done->set();
        });
    } catch (const std::system_error& e) {
        throw SqlError(std::string("The call to SQL Server could not be started: ") + e.what());
    }
    const auto allowed = callDeadline(timeoutSeconds);
    const auto deadline = allowed.count() > 0 ? Clock::now() + allowed : Clock::time_point::max();
    while (!outcome->done->isSet()) {
        if (waiter.quitRequested()) {
            shared->abandoned.store(true);
            throw SqlError("The program was asked to quit before SQL Server answered.");
        }
        if (Clock::now() >= deadline) {
            shared->abandoned.store(true);
            throw SqlError("SQL Server did not answer within " + std::to_string(allowed.count() / 1000) +
                           " seconds (time-out " + std::to_string(timeoutSeconds) + " s); the call was given up.");
        }
        waiter.waitUntil(outcome->done->handle(), deadline);
    }
    worker->join();
    if (outcome->error) std::rethrow_exception(outcome->error);
    return std::move(*outcome->value);
}

class WatchedConnection final : public SqlConnection {
public:
    WatchedConnection(std::shared_ptr<Shared> shared, CallWaiter& waiter, std::shared_ptr<SqlConnection> inner,
                      int commandTimeout)
        : shared_(std::move(shared)), waiter_(waiter), inner_(std::move(inner)), timeout_(commandTimeout)
    {
    }
    ~WatchedConnection() override
    {
        if (shared_->abandoned.load()) shared_->kept.push_back(std::move(inner_));
    }

    void deleteAgentJob(const std::string& jobName) override
    {
        runWatched<bool>(shared_, waiter_, timeout_, [inner = inner_, jobName](Shared&) {
            inner->deleteAgentJob(jobName);
            return true;
        });
    }

    std::string queryEdition() override
    {
        return runWatched<std::string>(shared_, waiter_, timeout_,
                                       [inner = inner_](Shared&) { return inner->queryEdition(); });
    }

private:
    std::shared_ptr<Shared> shared_;
    CallWaiter& waiter_;
    std::shared_ptr<SqlConnection> inner_;
    int timeout_;
};

class WatchedClient final : public SqlServerClient {
public:
    WatchedClient(std::unique_ptr<SqlServerClient> inner, CallWaiter& waiter)
        : shared_(std::make_shared<Shared>(std::move(inner))), waiter_(waiter)
    {
    }

    std::unique_ptr<SqlConnection> connect(const ConnectionSettings& given) override
    {
        ConnectionSettings settings = given;
        if (const auto cap = timeoutCap()) {
            settings.connectTimeoutSeconds = std::min(settings.connectTimeoutSeconds, *cap);
            settings.commandTimeoutSeconds = std::min(settings.commandTimeoutSeconds, *cap);
        }
        std::shared_ptr<SqlConnection> inner = runWatched<std::shared_ptr<SqlConnection>>(
            shared_, waiter_, settings.connectTimeoutSeconds,
            [settings](Shared& shared) { return std::shared_ptr<SqlConnection>(shared.inner->connect(settings)); });
        return std::make_unique<WatchedConnection>(shared_, waiter_, std::move(inner), settings.commandTimeoutSeconds);
    }

private:
    std::shared_ptr<Shared> shared_;
    CallWaiter& waiter_;
};

}  // namespace

std::chrono::milliseconds callDeadline(int timeoutSeconds)
{
    if (timeoutSeconds <= 0) return std::chrono::milliseconds(0);
    return std::chrono::seconds(timeoutSeconds + std::min(timeoutSeconds, 10));
}

std::unique_ptr<SqlServerClient> watchSqlServerClient(std::unique_ptr<SqlServerClient> inner, CallWaiter& waiter)
{
    return std::make_unique<WatchedClient>(std::move(inner), waiter);
}

}  // namespace talvorin::setupdata
