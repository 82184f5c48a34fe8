#pragma once

#include <chrono>
#include <cstdio>
#include <memory>

#include "ui/backend.h"

namespace talvorin::ui {

class Form;
class DialogPresenter;

// The text-mode front end. The main window is a status line (caption, label, progress
// bar) on the terminal; message boxes are prompts. When standard input or output is not a
// terminal it runs unattended: every box goes to standard error as "[Caption] text" and is
// answered as Escape would answer it, and a modal dialog ends as Cancel without showing.
class TerminalBackend : public Backend {
public:
    TerminalBackend();
    ~TerminalBackend() override;

    bool attended() const { return attended_; }
    // How a modal form is shown on the terminal; without one, it ends as Cancel.
    void setDialogPresenter(DialogPresenter* presenter) { presenter_ = presenter; }

    void processMessages() override;
    void waitFor(platform::WaitHandle handle) override;
    bool quitRequested() const override;
    Answer messageBox(const Box& box) override;
    ModalResult showModal(Form& form) override;
    void run(Form& mainForm) override;
    void setCursor(Cursor) override {}
    // Asks for the folder's path on the terminal; unattended, the chooser is cancelled.
    std::optional<std::string> browseForFolder(const std::string& title) override;

    void controlChanged(const Control& control, Change what) override;
    void formShown(const Form& form) override;
    void formClosed(const Form& form) override;

    // Waits for one key press on the terminal, handling timers meanwhile; '\x1b' for
    // Escape, '\0' when a quit was requested. Used by prompts and dialogs.
    char readKey();
    // Reads one line typed on the terminal (echoed); false on Escape or quit.
    bool readLine(std::string& line, bool secret);

protected:
    std::chrono::milliseconds now() const override;

private:
    void drawStatus();
    void endStatusLine();
    int msUntilNextTimer() const;

    bool attended_;
    const Form* mainForm_ = nullptr;
    bool statusDirty_ = false;
    bool statusShown_ = false;
    DialogPresenter* presenter_ = nullptr;
    int modalDepth_ = 0;  // the status line stays away while a dialog has the terminal
    std::chrono::steady_clock::time_point start_;
};

// Shows a particular modal form on the terminal.
class DialogPresenter {
public:
    virtual ~DialogPresenter() = default;
    virtual ModalResult present(TerminalBackend& terminal, Form& form) = 0;
};

}  // namespace talvorin::ui
