#pragma once

#include <utility>

#include "ui/backend.h"

namespace talvorin::ui {

// Inside a catch block: shows the failure being handled in the general error box (the
// program's title, error icon, OK, the failure's text). Never throws: when not even the box
// can be shown, the failure goes unreported.
void reportUncaughtFailure(Backend& backend) noexcept;

// Runs an event handler as a dispatch point does: a failure the handler did not catch itself
// is shown in the general error box and the rest of the handler does not run. Nothing
// escapes, so it may stand in a window procedure (DWARF unwinding cannot pass the system's
// frames). Whether the handler ran to its end.
template <typename Handler>
bool dispatchGuarded(Backend& backend, Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (...) {
        reportUncaughtFailure(backend);
        return false;
    }
}

}  // namespace talvorin::ui
