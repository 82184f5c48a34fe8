#pragma once

#include <optional>
#include <string>

#include "platform/wait_handle.h"
#include "platform/window_handle.h"
#include "ui/types.h"

namespace talvorin::ui {

class Form;
class TimerQueue;
class Views;

// What the forms ask of the system that shows them: the message loop, message boxes, modal
// showing, the folder chooser, the cursor, the quit request, the screen. One implementation
// per front end.
class Backend {
public:
    virtual ~Backend() = default;

    // Handles every pending message (due timers, input) and returns; never blocks.
    virtual void processMessages() = 0;
    // Sleeps until the handle is signalled, a timer is due, input arrives or a quit is
    // requested, and handles what came. Returns at once when a quit was requested.
    virtual void waitFor(platform::WaitHandle handle) = 0;
    // Whether the application has been asked to quit.
    virtual bool quitRequested() const = 0;

    virtual Answer messageBox(const Box& box) = 0;
    // Shows the form modally (its show handler runs) until its modal result is set.
    virtual ModalResult showModal(Form& form) = 0;
    // The message loop: runs until the form is closed.
    virtual void run(Form& mainForm) = 0;
    virtual void setCursor(Cursor cursor) = 0;
    // The system's folder chooser, rooted at the desktop, file-system folders only; the
    // chosen folder's path, or nullopt when the user cancelled.
    virtual std::optional<std::string> browseForFolder(const std::string& title) = 0;
    // The main window, as the owner of what the system shows for the program (a started
    // tool's windows and error boxes); none where the front end has no system window.
    virtual platform::WindowHandle mainWindow() const { return platform::kNoWindow; }

    // The screen, and the outer size of a form's window (its client area and frame), for
    // centring it.
    virtual Size screenSize() const { return {1024, 768}; }
    virtual Size windowSize(const Form& form) const;

    // Where the widgets report what they do, and the timers of the message loop.
    virtual Views& views() = 0;
    virtual TimerQueue& timers() = 0;
};

}  // namespace talvorin::ui
