#pragma once

#include <string>

#include "sqlinfo/sql_info.h"
#include "ui/posix/line_mode.h"

namespace talvorin::sqlinfo {

// The SQL Server Information dialog on a terminal: shows the fields, asks for each one
// that is not locked in turn (Enter or Tab keeps the value shown and goes on, Shift+Tab goes
// back, "?" shows a field's help), then asks for OK, until the dialog has a result or the
// user presses Esc. What is typed goes through the dialog's own handlers, so every check and
// message of the window runs. The connection status is drawn as a status line whenever the
// dialog lets messages through, so a slow connection test is seen as such.
// It presents only its own dialog: the front end knows the form, this knows it is that dialog.
class TerminalSqlInfo : public ui::DialogPresenter {
public:
    explicit TerminalSqlInfo(TfrmSQLInfo& dialog) : dialog_(dialog) {}

    ui::ModalResult present(ui::LineConsole& console, ui::Form& form) override;
    std::optional<ui::StatusParts> status(const ui::Form& form) const override;

    // The conversation with a dialog that is to be shown now.
    static ui::ModalResult converse(TfrmSQLInfo& dialog, ui::LineConsole& console);

private:
    TfrmSQLInfo& dialog_;
};

}  // namespace talvorin::sqlinfo
