#pragma once

#include <chrono>
#include <memory>
#include <utility>
#include <vector>

#include "platform/win32/handles.h"
#include "ui/backend.h"
#include "ui/timer_queue.h"
#include "ui/views.h"

namespace talvorin::ui {

class FormWindow;

// The Windows front end: the forms as real windows (FormWindow), the system's message
// boxes and folder chooser, the message loop with the widget layer's timers driven by a
// window timer (so they keep firing inside the system's own modal loops), waits that keep
// all of it going, and the quit request (WM_QUIT, the session ending, Ctrl+C or Ctrl+Break).
//
// Unattended, no window is drawn: every box goes to standard error as "[Caption] text" and
// is answered as Escape would answer it, a modal form ends as Cancel and the folder chooser
// as cancelled, so a run never waits for an answer that nobody can give.
class Win32Backend : public Backend, private Views, private TimerClock {
public:
    enum class Mode { Attended, Unattended };
    explicit Win32Backend(Mode mode = modeForThisSession());
    ~Win32Backend() override;
    Win32Backend(const Win32Backend&) = delete;
    Win32Backend& operator=(const Win32Backend&) = delete;

    // Unattended when the environment variable TALVORIN_UNATTENDED is set to anything but
    // "" or "0", or when the program runs where no window can be seen (the invisible window
    // station of a service); attended otherwise.
    static Mode modeForThisSession();
    bool attended() const { return mode_ == Mode::Attended; }

    void processMessages() override;
    void waitFor(platform::WaitHandle handle) override;
    bool quitRequested() const override;
    Answer messageBox(const Box& box) override;
    ModalResult showModal(Form& form) override;
    void run(Form& mainForm) override;
    void setCursor(Cursor cursor) override;
    std::optional<std::string> browseForFolder(const std::string& title) override;
    platform::WindowHandle mainWindow() const override;
    Size screenSize() const override;
    Size windowSize(const Form& form) const override;

    Views& views() override { return *this; }
    TimerQueue& timers() override { return timers_; }

    // A form's window once it has been shown; null before, and when unattended.
    HWND windowOf(const Form& form) const;
    // The hidden window that hears the session end and keeps the timers; it owns nothing
    // the user could see.
    platform::WindowHandle sessionWindow() const { return sessionWindow_.get(); }

private:
    // Views: each form's window follows its form.
    void controlChanged(const Control& control, Change what) override;
    void focusChanged(const Form& form, const Control* control) override;
    void formShowing(Form& form) override;
    void formShown(const Form& form) override;
    void formMoved(const Form& form) override;
    void formClosed(const Form& form) override;
    void controlRemoved(const Control& control) override;
    void formDestroyed(const Form& form) override;
    // TimerClock: the window timer is set for the next widget timer.
    std::chrono::milliseconds now() const override;
    void timersChanged() override;

    static LRESULT CALLBACK sessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    FormWindow* windowFor(const Form& form) const;
    // What a box or the folder chooser belongs to: the innermost modal form, else the main
    // window.
    HWND topWindow() const;
    void waitForMessages() const;

    Mode mode_;
    platform::UniqueWindow sessionWindow_;
    std::chrono::steady_clock::time_point start_;
    std::vector<std::pair<const Form*, std::unique_ptr<FormWindow>>> windows_;
    const Form* mainForm_ = nullptr;   // the first form shown
    std::vector<const Form*> modal_;   // shown modally now, innermost last
    Cursor cursor_ = Cursor::Default;  // the cursor of the whole program
    TimerQueue timers_{*this, *this};
};

}  // namespace talvorin::ui
