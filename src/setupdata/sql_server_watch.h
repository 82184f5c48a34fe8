#pragma once

#include <chrono>
#include <memory>

#include "platform/wait_handle.h"
#include "setupdata/sql_server.h"

namespace talvorin::setupdata {

// How the main thread waits for a server call that runs on a worker: with the window
// alive (timers, input, repaint), as it waits for a kit tool.
class CallWaiter {
public:
    virtual ~CallWaiter() = default;
    // Handles what comes while it sleeps until `handle` is signalled or `until` has
    // passed; it may return earlier.
    virtual void waitUntil(platform::WaitHandle handle, std::chrono::steady_clock::time_point until) = 0;
    virtual bool quitRequested() const = 0;
};

// Names a time-out in seconds that caps every connect and command time-out, for tests
// that must not wait a minute; unset (or not a whole number above 0) in the product.
inline constexpr const char* sqlTimeoutCapVariable = "TALVORIN_SQL_TIMEOUT_CAP";

// How long a connect or a call with `timeoutSeconds` may take before it is given up: its
// own time-out and the driver's reasonable lateness (the time-out again, at most 10 s).
// A time-out of 0 or less means none: never given up.
std::chrono::milliseconds callDeadline(int timeoutSeconds);

// `inner` with every connect and call on a worker thread, the main thread waiting through
// `waiter`. A call that outlives callDeadline, or that a quit request interrupts, fails
// with SqlError and is left to its worker; from then on every connect and call fails at
// once and nothing of `inner` is released any more (the driver may hold its locks for
// good), so that the run can still end.
std::unique_ptr<SqlServerClient> watchSqlServerClient(std::unique_ptr<SqlServerClient> inner, CallWaiter& waiter);

}  // namespace talvorin::setupdata
