#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "ui/backend.h"
#include "ui/timer_queue.h"
#include "ui/views.h"
#include "ui/posix/line_mode.h"
#include "ui/posix/terminal_input.h"

namespace talvorin::ui {

class Form;
class TextWindows;

// The text-mode front end. On a terminal that can be drawn on (its type known and not
// "dumb", large enough) the windows are text-mode windows (TextWindows). Otherwise it is the
// line mode (LineMode): the main window is a status line, message boxes and dialogs are
// prompts. When input or output is not a terminal it runs unattended: every box goes to the
// error stream as "[Caption] text" and is answered as Escape would answer it, and a modal
// dialog ends as Cancel without showing. Its parts do not know it: the input waits through
// InputWaiter, the windows and the line mode are told what changed.
class TerminalBackend final : public Backend, private Views, private TimerClock, private InputWaiter {
public:
    explicit TerminalBackend(TerminalFiles files = {});
    ~TerminalBackend() override;

    bool attended() const { return attended_; }
    // Whether the windows are drawn as text-mode windows (else the line mode).
    bool drawsWindows() const { return windows_ != nullptr; }
    // How a modal form is shown in the line mode; without one, it ends as Cancel.
    void setDialogPresenter(DialogPresenter* presenter) { lines_.setPresenter(presenter); }
    // The keys, for prompts of the program's own.
    TerminalInput& input() { return input_; }

    void processMessages() override;
    void waitFor(platform::WaitHandle handle) override;
    bool quitRequested() const override;
    Answer messageBox(const Box& box) override;
    ModalResult showModal(Form& form) override;
    void run(Form& mainForm) override;
    void setCursor(Cursor cursor) override;
    // Asks for the folder's path on the terminal; unattended, the chooser is cancelled.
    std::optional<std::string> browseForFolder(const std::string& title) override;

    Views& views() override { return *this; }
    TimerQueue& timers() override { return timers_; }

    // Once the main window has closed: the run's closing line as logged (none when empty)
    // and where the setup log is (none when empty), so the outcome is the last thing on
    // the screen.
    void showOutcome(const std::string& closingLine, const std::string& logFile);

private:
    // Views: what changed is drawn at the next repaint, or on the status line.
    void controlChanged(const Control& control, Change what) override;
    void focusChanged(const Form& form, const Control* control) override;
    void formShown(const Form& form) override;
    void formClosed(const Form& form) override;
    void formDestroyed(const Form& form) override;
    // TimerClock
    std::chrono::milliseconds now() const override;
    // InputWaiter
    int msUntilNextTimer() const override;
    void serviceTimers() override;
    platform::WaitHandle extraWake() const override;

    void startWindows();
    // After timers fired or the terminal was resized: draws what changed.
    void repaint();

    TerminalFiles files_;
    bool attended_;
    std::chrono::steady_clock::time_point start_;
    TerminalInput input_;
    LineMode lines_;
    std::unique_ptr<TextWindows> windows_;
    TimerQueue timers_{*this, *this};
};

}  // namespace talvorin::ui
