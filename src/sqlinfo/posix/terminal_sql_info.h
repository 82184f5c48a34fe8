#pragma once

#include <string>

#include "sqlinfo/sql_info.h"
#include "ui/posix/terminal_backend.h"

namespace talvorin::sqlinfo {

// Where the terminal dialog writes and reads: the terminal in the program, a script in tests.
class DialogConsole {
public:
    virtual ~DialogConsole() = default;
    virtual void write(const std::string& text) = 0;
    // One typed line and how it was ended.
    virtual ui::LineEnd readLine(std::string& line, bool secret) = 0;
};

// The SQL Server Information dialog on a terminal: shows the fields, asks for each one
// that is not locked in turn (Enter or Tab keeps the value shown and goes on, Shift+Tab goes
// back, "?" shows a field's help), then asks for OK, until the dialog has a result or the
// user presses Esc. What is typed goes through the dialog's own handlers, so every check and
// message of the window runs. The connection status is drawn as a status line whenever the
// dialog lets messages through, so a slow connection test is seen as such.
class TerminalSqlInfo : public ui::DialogPresenter {
public:
    ui::ModalResult present(ui::TerminalBackend& terminal, ui::Form& form) override;
    std::optional<ui::StatusParts> status(const ui::Form& form) const override;

    // The conversation with a dialog that is to be shown now.
    static ui::ModalResult converse(TfrmSQLInfo& dialog, DialogConsole& console);
};

}  // namespace talvorin::sqlinfo
