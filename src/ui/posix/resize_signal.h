#pragma once

#include "platform/wait_handle.h"

namespace talvorin::ui {

// SIGWINCH, so a wait ends when the terminal has been resized. Installed once.
class ResizeSignal {
public:
    static ResizeSignal& instance();
    platform::WaitHandle handle() const;
    // Whether a resize came since the last call.
    bool take();

private:
    ResizeSignal();
};

}  // namespace talvorin::ui
