#include "ui/posix/terminal_backend.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/posix/quit_signal.h"
#include "platform/wait.h"
#include "ui/form.h"
#include "ui/posix/curses_screen.h"
#include "ui/posix/resize_signal.h"
#include "ui/posix/text_windows.h"

namespace talvorin::ui {
namespace {

bool attendedTerminal(const TerminalFiles& files)
{
    platform::QuitSignal::instance();  // installs the handlers before anything waits
    return ::isatty(files.in) && ::isatty(files.out);
}

}  // namespace

TerminalBackend::TerminalBackend(TerminalFiles files)
    : files_(files),
      attended_(attendedTerminal(files)),
      start_(std::chrono::steady_clock::now()),
      input_(files, attended_, *this),
      lines_(files, input_)
{
    startWindows();
}

TerminalBackend::~TerminalBackend() { windows_.reset(); }

// Text-mode windows need a terminal whose type is known and can place the cursor, room for
// the windows, and the keys (a program in the background keeps to the line mode).
void TerminalBackend::startWindows()
{
    if (!attended_ || !input_.takeKeys()) return;
    const char* type = std::getenv("TERM");
    if (type == nullptr || *type == '\0' || std::string(type) == "dumb") return;
    winsize size{};
    if (::ioctl(files_.out, TIOCGWINSZ, &size) != 0 || size.ws_col < TextWindows::kMinColumns ||
        size.ws_row < TextWindows::kMinRows)
        return;
    ResizeSignal::instance();  // before ncurses, which then leaves SIGWINCH alone
    if (auto screen = CursesScreen::open(files_.in, files_.out))
        windows_ = std::make_unique<TextWindows>(*this, input_, std::move(screen));
}

platform::WaitHandle TerminalBackend::extraWake() const
{
    return windows_ ? ResizeSignal::instance().handle() : platform::kNoWaitHandle;
}

void TerminalBackend::repaint()
{
    if (windows_) {
        ResizeSignal::instance().take();
        windows_->refresh();
    }
}

void TerminalBackend::serviceTimers()
{
    timers_.fireDue();
    repaint();
}

void TerminalBackend::setCursor(Cursor cursor)
{
    if (windows_) windows_->setCursor(cursor);
}

std::chrono::milliseconds TerminalBackend::now() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
}

bool TerminalBackend::quitRequested() const { return platform::QuitSignal::instance().requested(); }

int TerminalBackend::msUntilNextTimer() const { return timers_.msUntilNext(); }

void TerminalBackend::processMessages()
{
    timers_.fireDue();
    if (windows_)
        repaint();
    else if (attended_)
        lines_.drawStatus();
}

void TerminalBackend::waitFor(platform::WaitHandle handle)
{
    if (quitRequested()) return;
    const int timeout = msUntilNextTimer();
    if (platform::waitForAny({handle, platform::QuitSignal::instance().handle(), extraWake()}, timeout) ==
        platform::kWaitFailed)
        platform::pauseAfterFailedWait(timeout);
    processMessages();
}

void TerminalBackend::run(Form& mainForm)
{
    while (!mainForm.isClosed()) {
        if (quitRequested()) {
            mainForm.close();
            break;
        }
        const int timeout = msUntilNextTimer();
        if (timeout < 0) {
            // No timer left and nothing else can close the window: waiting would hang.
            mainForm.close();
            break;
        }
        if (platform::waitForAny({platform::QuitSignal::instance().handle(), extraWake()}, timeout) ==
            platform::kWaitFailed)
            platform::pauseAfterFailedWait(timeout);
        processMessages();
    }
}

// Unattended, the output is no terminal and gets nothing: whatever a person should know
// goes to the error stream.
Answer TerminalBackend::messageBox(const Box& box)
{
    if (!attended_) {
        const Answer escape = escapeAnswer(box.buttons);
        writeAll(files_.err, unattendedBox(box, escape));
        return escape;
    }
    return windows_ ? windows_->messageBox(box) : lines_.messageBox(box);
}

std::optional<std::string> TerminalBackend::browseForFolder(const std::string& title)
{
    if (!attended_) return std::nullopt;
    return windows_ ? windows_->browseForFolder(title) : lines_.browseForFolder(title);
}

ModalResult TerminalBackend::showModal(Form& form)
{
    if (!attended_) {
        writeAll(files_.err, unattendedDialog(form.caption()));
        return ModalResult::Cancel;
    }
    return windows_ ? windows_->showModal(form) : lines_.showModal(form);
}

void TerminalBackend::formShown(const Form& form)
{
    const bool first = !lines_.hasMainWindow();
    lines_.formShown(form);
    if (windows_) {
        if (first) windows_->mainWindowShown(form);
        windows_->changed();
    }
}

void TerminalBackend::formClosed(const Form& form)
{
    if (!lines_.isMainWindow(form)) return;
    // The run is over. With windows the terminal is given back, and what follows is plain
    // lines; in the line mode the last status stays on the screen.
    const bool hadWindows = windows_ != nullptr;
    windows_.reset();
    lines_.mainWindowClosed(!hadWindows && attended_);
}

void TerminalBackend::formDestroyed(const Form& form)
{
    if (windows_) windows_->formGone(form);
    lines_.formDestroyed(form);
}

void TerminalBackend::focusChanged(const Form&, const Control* control)
{
    if (windows_) windows_->focusArrived(control);
}

void TerminalBackend::controlChanged(const Control& control, Change)
{
    if (windows_) windows_->changed();
    lines_.controlChanged(control);
}

void TerminalBackend::showOutcome(const std::string& closingLine, const std::string& logFile)
{
    if (!attended_) return;
    std::string text;
    if (!closingLine.empty()) text += closingLine + "\n";
    if (!logFile.empty()) text += "Setup log: " + logFile + "\n";
    lines_.write(text);
}

}  // namespace talvorin::ui
