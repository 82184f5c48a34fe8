#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "ui/backend.h"
#include "ui/terminal_keys.h"
#include "ui/terminal_text.h"

namespace talvorin::ui {

class Form;
class DialogPresenter;
class TextWindows;

// Where the front end reads keys and writes: the program's standard streams, or a
// pseudo-terminal or pipes in tests.
struct TerminalFiles {
    int in = 0;
    int out = 1;
    int err = 2;
};

// How a typed line was ended. Cancel: Escape, the end of input, or a quit request.
enum class LineEnd { Enter, Tab, BackTab, Cancel };

// The text-mode front end. On a terminal that can be drawn on (its type known and not
// "dumb", large enough) the windows are text-mode windows (TextWindows). Otherwise it is the
// line mode: the main window is a status line (caption, label, progress bar) on the
// terminal, cut to the terminal's width; message boxes and dialogs are prompts. When input
// or output is not a terminal it runs unattended: every box goes to the error stream as
// "[Caption] text" and is answered as Escape would answer it, and a modal dialog ends as
// Cancel without showing.
class TerminalBackend : public Backend {
public:
    explicit TerminalBackend(TerminalFiles files = {});
    ~TerminalBackend() override;

    bool attended() const { return attended_; }
    // Whether the windows are drawn as text-mode windows (else the line mode).
    bool drawsWindows() const { return windows_ != nullptr; }
    // How a modal form is shown on the terminal; without one, it ends as Cancel.
    void setDialogPresenter(DialogPresenter* presenter) { presenter_ = presenter; }

    void processMessages() override;
    void waitFor(platform::WaitHandle handle) override;
    bool quitRequested() const override;
    Answer messageBox(const Box& box) override;
    ModalResult showModal(Form& form) override;
    void run(Form& mainForm) override;
    void setCursor(Cursor cursor) override;
    // Asks for the folder's path on the terminal; unattended, the chooser is cancelled.
    std::optional<std::string> browseForFolder(const std::string& title) override;

    void controlChanged(const Control& control, Change what) override;
    void focusChanged(const Form& form, const Control* control) override;
    void formShown(const Form& form) override;
    void formClosed(const Form& form) override;
    void formDestroyed(const Form& form) override;

    // Waits for one key, handling timers meanwhile; nullopt once a quit was requested.
    // Input that has ended reads as Escape: nobody can answer any more.
    std::optional<TerminalKey> readKey();
    // Reads one line, echoed (as "*" when secret); Left, Right, Home and End move the caret,
    // Backspace and Delete remove a character.
    LineEnd readLine(std::string& line, bool secret);
    // Writes text for a prompt or a dialog; a status line being shown is ended first.
    void write(const std::string& text);
    // Once the main window has closed: the run's closing line as logged (none when empty)
    // and where the setup log is (none when empty), so the outcome is the last thing on
    // the screen.
    void showOutcome(const std::string& closingLine, const std::string& logFile);

protected:
    std::chrono::milliseconds now() const override;

private:
    class RawMode;

    void takeKeys();
    void put(const std::string& bytes);
    void drawStatus();
    void endStatusLine();
    std::size_t columns() const;
    int msUntilNextTimer() const;
    void startWindows();
    // After timers fired or the terminal was resized: draws what changed.
    void repaint();
    // Signalled when the terminal was resized while windows are drawn.
    platform::WaitHandle resizeWake() const;

    TerminalFiles files_;
    bool attended_;
    std::unique_ptr<RawMode> raw_;
    KeyDecoder keys_;
    std::optional<std::chrono::steady_clock::time_point> escapeDeadline_;
    bool inputEnded_ = false;
    const Form* mainForm_ = nullptr;
    const Form* modalForm_ = nullptr;
    bool statusDirty_ = false;
    bool statusShown_ = false;
    std::size_t statusWidth_ = 0;  // the terminal's width when the status was drawn
    DialogPresenter* presenter_ = nullptr;
    int modalDepth_ = 0;  // the main window's status stays away while a dialog has the terminal
    std::chrono::steady_clock::time_point start_;
    std::unique_ptr<TextWindows> windows_;
};

// Shows a particular modal form on the terminal.
class DialogPresenter {
public:
    virtual ~DialogPresenter() = default;
    virtual ModalResult present(TerminalBackend& terminal, Form& form) = 0;
    // The form's status line while it is shown, drawn whenever pending messages are let
    // through after one of its controls changed; none when nullopt.
    virtual std::optional<StatusParts> status(const Form&) const { return std::nullopt; }
};

}  // namespace talvorin::ui
