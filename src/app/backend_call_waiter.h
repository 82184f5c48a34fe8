#pragma once

#include "setupdata/sql_server_watch.h"
#include "ui/backend.h"

namespace talvorin::app {

// Waits for a server call through the front end's own message loop, so the windows and
// their timers go on while SQL Server is busy; a timer of its own ends the wait in time.
class BackendCallWaiter final : public setupdata::CallWaiter {
public:
    explicit BackendCallWaiter(ui::Backend& backend) : backend_(backend) {}

    void waitUntil(platform::WaitHandle handle, std::chrono::steady_clock::time_point until) override;
    bool quitRequested() const override { return backend_.quitRequested(); }

private:
    ui::Backend& backend_;
};

}  // namespace talvorin::app
