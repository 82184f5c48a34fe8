#pragma once

#include <string>

#include "platform/wait_handle.h"
#include "platform/window_handle.h"

namespace talvorin::dbwork {

// What the database steps use of the main window while they run: its status text and
// progress bar, and its message loop, so the window stays alive while a tool runs. The
// steps know no widgets; the main window implements this.
class StepWindow {
public:
    virtual ~StepWindow() = default;
    // What is happening (Label1).
    virtual void setStatus(const std::string& text) = 0;
    // The progress bar's position (pgbProcess).
    virtual void setProgress(int position) = 0;
    // Handles every pending message (due timers, input) and returns; never blocks.
    virtual void processMessages() = 0;
    // Sleeps until the handle is signalled, a timer is due, input arrives or a quit is
    // requested, and handles what came.
    virtual void waitFor(platform::WaitHandle handle) = 0;
    virtual bool quitRequested() const = 0;
    // The owner of what the system shows for a started tool; kNoWindow where there is none.
    virtual platform::WindowHandle owner() const = 0;
};

}  // namespace talvorin::dbwork
