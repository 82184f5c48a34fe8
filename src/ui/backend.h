#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/wait_handle.h"
#include "platform/window_handle.h"
#include "ui/types.h"

namespace talvorin::ui {

class Control;
class Form;
class Timer;

// What the windows need from the system that shows them: the message loop, its timers,
// message boxes, modal showing, the quit request. One implementation per front end.
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

    // Told by the widgets, so the backend can draw or record. A form is "showing" before
    // its show handler runs and "shown" once it has run.
    virtual void controlChanged(const Control&, Change) {}
    virtual void focusChanged(const Form&, const Control*) {}
    virtual void formShowing(Form&) {}
    virtual void formShown(const Form&) {}
    virtual void formMoved(const Form&) {}
    virtual void formClosed(const Form&) {}
    // Before the control or form is gone.
    virtual void controlRemoved(const Control&) {}
    virtual void formDestroyed(const Form&) {}

protected:
    virtual std::chrono::milliseconds now() const = 0;
    // Fires every enabled timer whose time has come, once each.
    void fireDueTimers();
    // Whenever a timer was enabled, disabled or fired: a backend with a system timer sets
    // it for nextDue().
    virtual void timersChanged() {}
    // When the next enabled timer is due; nullopt when none is enabled.
    std::optional<std::chrono::milliseconds> nextDue() const;

private:
    friend class Timer;
    void addTimer(Timer& t) { timers_.push_back(&t); }
    void removeTimer(Timer& t);
    void schedule(Timer& t);

    std::vector<Timer*> timers_;
};

}  // namespace talvorin::ui
