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
    // One typed line; false when the user pressed Esc or input ended.
    virtual bool readLine(std::string& line, bool secret) = 0;
};

// The SQL Server Information dialog on a terminal: shows the fields, asks for each one
// that is not locked in turn (Enter keeps the value shown, "?" shows a field's help),
// then asks for OK, until the dialog has a result or the user presses Esc. What is typed
// goes through the dialog's own handlers, so every check and message of the window runs.
class TerminalSqlInfo : public ui::DialogPresenter {
public:
    ui::ModalResult present(ui::TerminalBackend& terminal, ui::Form& form) override;

    // The conversation with a dialog that is to be shown now.
    static ui::ModalResult converse(TfrmSQLInfo& dialog, DialogConsole& console);
};

}  // namespace talvorin::sqlinfo
