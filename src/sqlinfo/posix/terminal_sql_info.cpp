#include "sqlinfo/posix/terminal_sql_info.h"

#include <vector>

namespace talvorin::sqlinfo {
namespace {

struct Field {
    ui::Edit& edit;
    std::string prompt;
    ui::Button* help;  // null: no help text
    bool secret;
};

std::string shown(const ui::Edit& e) { return e.password ? std::string(e.text().size(), '*') : e.text(); }

std::string summary(TfrmSQLInfo& d)
{
    auto row = [](const std::string& name, const std::string& value, const ui::Edit& e) {
        return "  " + name + value + (e.enabled() ? "" : "  (locked)") + "\n";
    };
    std::string text = "\n" + d.caption() + "\n";
    text += row("Application path: ", d.edtAppPath.text(), d.edtAppPath);
    text += row("IP address:       ",
                d.edtSQLIP1.text() + "." + d.edtSQLIP2.text() + "." + d.edtSQLIP3.text() + "." + d.edtSQLIP4.text(),
                d.edtSQLIP1);
    text += row("Port number:      ", d.edtIPPortNo.text(), d.edtIPPortNo);
    text += row("Login:            ", d.edtSQLLogin.text(), d.edtSQLLogin);
    text += row("Password:         ", shown(d.edtSQLPassword), d.edtSQLPassword);
    if (d.ProgressBar.visible())
        text += "  Connection status: " + d.Label1.caption() + " (" + std::to_string(d.ProgressBar.position()) + "%)\n";
    // Short enough for an 80-column terminal.
    text += "Enter/Tab: next (empty keeps the value)  Shift+Tab: back  ?: help  Esc: cancel\n";
    return text;
}

ui::ModalResult cancelled(TfrmSQLInfo& d)
{
    d.pressEscape();
    return d.modalResult();
}

}  // namespace

ui::ModalResult TerminalSqlInfo::present(ui::LineConsole& console, ui::Form& form)
{
    if (&form != &dialog_) return ui::ModalResult::Cancel;
    return converse(dialog_, console);
}

std::optional<ui::StatusParts> TerminalSqlInfo::status(const ui::Form& form) const
{
    if (&form != &dialog_ || !dialog_.ProgressBar.visible()) return std::nullopt;
    return ui::StatusParts{"Connection status", dialog_.Label1.caption(), &dialog_.ProgressBar};
}

ui::ModalResult TerminalSqlInfo::converse(TfrmSQLInfo& d, ui::LineConsole& console)
{
    const std::vector<Field> fields = {
        {d.edtAppPath, "Application path", &d.SpeedButton1, false},
        {d.edtSQLIP1, "IP address, part 1", &d.SpeedButton2, false},
        {d.edtSQLIP2, "IP address, part 2", &d.SpeedButton2, false},
        {d.edtSQLIP3, "IP address, part 3", &d.SpeedButton2, false},
        {d.edtSQLIP4, "IP address, part 4", &d.SpeedButton2, false},
        {d.edtIPPortNo, "Port number", &d.SpeedButton3, false},
        {d.edtSQLLogin, "Login", nullptr, false},
        {d.edtSQLPassword, "Password", nullptr, true},
    };
    auto stepOf = [&](const ui::Control* c) {
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (&fields[i].edit == c) return i;
        return fields.size();
    };
    // The field before this step that can be typed into; the step itself when there is none.
    auto stepBefore = [&](std::size_t from) {
        for (std::size_t i = from; i-- > 0;)
            if (fields[i].edit.canFocus()) return i;
        return from;
    };

    d.setModalResult(ui::ModalResult::None);
    d.show();
    std::size_t step = 0;
    // Steps taken without reading anything: a guard against going round in circles.
    int idleSteps = 0;
    for (;;) {
        if (d.modalResult() != ui::ModalResult::None) return d.modalResult();
        if (++idleSteps > 64) return cancelled(d);
        if (step == 0) console.write(summary(d));

        if (step < fields.size()) {
            const Field& f = fields[step];
            if (!f.edit.canFocus()) {
                ++step;
                continue;
            }
            if (!f.edit.focused() && !d.focus(f.edit)) {
                // A check of the field being left failed and kept the focus there.
                const std::size_t back = stepOf(d.activeControl());
                if (back < fields.size() && back != step) {
                    step = back;
                    continue;
                }
            }
            console.write(f.prompt + " [" + shown(f.edit) + "]: ");
            std::string line;
            const ui::LineEnd end = console.readLine(line, f.secret);
            if (end == ui::LineEnd::Cancel) return cancelled(d);
            idleSteps = 0;
            if (line == "?" && f.help != nullptr) {
                f.help->click();
                continue;
            }
            if (!line.empty()) {
                f.edit.setText("");
                f.edit.type(line);
            }
            // A full octet field moves on by itself; still here means its check failed.
            const bool octetField = step >= 1 && step <= 4;
            if (octetField && !line.empty() && f.edit.text().size() == 3 && f.edit.focused()) continue;
            step = end == ui::LineEnd::BackTab ? stepBefore(step) : step + 1;
            continue;
        }

        console.write("Enter tests and saves these settings, Shift+Tab goes back, Esc cancels: ");
        std::string line;
        const ui::LineEnd end = console.readLine(line, false);
        if (end == ui::LineEnd::Cancel) return cancelled(d);
        idleSteps = 0;
        if (end != ui::LineEnd::Enter) {
            // Tab goes round to the first field, as the window's tab order does.
            step = end == ui::LineEnd::BackTab ? stepBefore(fields.size()) : 0;
            continue;
        }
        d.clickButton(d.btnOK);
        if (d.modalResult() != ui::ModalResult::None) return d.modalResult();
        const std::size_t back = stepOf(d.activeControl());
        step = back < fields.size() ? back : 0;
        if (step != 0) console.write(summary(d));
    }
}

}  // namespace talvorin::sqlinfo
