#pragma once

#include <optional>
#include <string>

#include "ui/posix/terminal_input.h"
#include "ui/posix/terminal_text.h"
#include "ui/types.h"

namespace talvorin::ui {

class Control;
class Form;

// Where a dialog shown in the line mode writes and reads: the terminal in the program, a
// script in tests.
class LineConsole {
public:
    virtual ~LineConsole() = default;
    virtual void write(const std::string& text) = 0;
    // One typed line and how it was ended.
    virtual LineEnd readLine(std::string& line, bool secret) = 0;
};

// Shows a particular modal form in the line mode.
class DialogPresenter {
public:
    virtual ~DialogPresenter() = default;
    // Cancel for a form it does not know.
    virtual ModalResult present(LineConsole& console, Form& form) = 0;
    // The form's status line while it is shown, drawn whenever pending messages are let
    // through after one of its controls changed; none when nullopt.
    virtual std::optional<StatusParts> status(const Form&) const { return std::nullopt; }
};

// The line mode of an attended terminal: the main window is a status line (caption, label,
// progress bar), cut to the terminal's width; message boxes and dialogs are prompts.
class LineMode final : public LineConsole {
public:
    LineMode(TerminalFiles files, TerminalInput& input) : files_(files), input_(input) {}
    ~LineMode() override;

    // How a modal form is shown; without one, it ends as Cancel.
    void setPresenter(DialogPresenter* presenter) { presenter_ = presenter; }

    // Writes text for a prompt or a dialog; a status line being shown is ended first.
    void write(const std::string& text) override;
    LineEnd readLine(std::string& line, bool secret) override { return input_.readLine(line, secret); }

    Answer messageBox(const Box& box);
    std::optional<std::string> browseForFolder(const std::string& title);
    ModalResult showModal(Form& form);

    // The first form shown is the main window, until it is closed or gone.
    void formShown(const Form& form);
    bool hasMainWindow() const { return mainForm_ != nullptr; }
    bool isMainWindow(const Form& form) const { return &form == mainForm_; }
    // The main window has closed: its last status stays on the screen.
    void mainWindowClosed(bool drawLastStatus);
    void formDestroyed(const Form& form);
    void controlChanged(const Control& control);
    // Draws the status line when it changed or the terminal's width did.
    void drawStatus();

private:
    void endStatusLine();
    std::size_t columns() const;

    TerminalFiles files_;
    TerminalInput& input_;
    DialogPresenter* presenter_ = nullptr;
    const Form* mainForm_ = nullptr;
    const Form* modalForm_ = nullptr;
    int modalDepth_ = 0;  // the main window's status stays away while a dialog has the terminal
    bool statusDirty_ = false;
    bool statusShown_ = false;
    std::size_t statusWidth_ = 0;  // the terminal's width when the status was drawn
};

}  // namespace talvorin::ui
