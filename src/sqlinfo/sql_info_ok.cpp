#include "sqlinfo/sql_info.h"

#include <exception>
#include <string>

#include "platform/scope_exit.h"
#include "setupdata/connection_string.h"
#include "setupdata/setup_files.h"
#include "formats/str_to_int.h"
#include "sqlinfo/local_lookups.h"
#include "sqlinfo/stored_text.h"
#include "ui/backend.h"

// OK: the fields checked once more, the connection tested and the settings saved.
namespace talvorin::sqlinfo {
namespace {

constexpr const char* kInvalidAddress = "Invalid IP Address! Please re-enter.";
constexpr const char* kConnectionFailed = "Microsoft SQL Server connection failed. ";
constexpr const char* kCheckAndRetry = "Please make sure the information is correct and try again.";
constexpr const char* kNotSaved = "The SQL Server information has not been saved.";

std::string confirmationText(const std::string& address)
{
    return "If you have not installed SQL Server on the machine with IP Address - [" + address +
           "], you should quit this setup " + "and install SQL Server first. " + "\r" + "Are you sure to proceed?";
}

std::string notStorableText(const std::string& field)
{
    return "The " + field + " cannot be saved exactly as typed. " + storageRulesText() + " Please re-enter.";
}

// Blanks and control characters at both ends go, as the product's Trim removes them.
std::string trimmed(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

}  // namespace

void TfrmSQLInfo::btnOKClick()
{
    guarded([this] {
        for (int k = 1; k <= 4; ++k) {
            if (!octet(k).text().empty()) continue;
            backend().messageBox(ui::Box::error(kInvalidAddress));
            if (!edtSQLIP1.canFocus()) EnableServerAddress(true);
            octet(k).setFocus();
            return;
        }
        const int portValue = formats::StrToInt(edtIPPortNo.text());
        if (portValue < 1 || portValue > 65535) {
            backend().messageBox(ui::Box::error(edtIPPortNo.text() + kPortRange));
            edtIPPortNo.setText("");
            if (!edtIPPortNo.canFocus()) EnableServerAddress(true);
            edtIPPortNo.setFocus();
            return;
        }
        const std::string address = trimmed(edtSQLIP1.text()) + "." + trimmed(edtSQLIP2.text()) + "." +
                                    trimmed(edtSQLIP3.text()) + "." + trimmed(edtSQLIP4.text());
        if (!credentialsStorable()) return;
        if (backend().messageBox(ui::Box::confirm(confirmationText(address))) != ui::Answer::Yes) return;

        Label1.setCaption("Connecting");
        ProgressBar.setPosition(25);
        ProgressBar.setVisible(true);
        backend().processMessages();

        std::string error;
        if (!testConnection(address, edtIPPortNo.text(), error)) {
            ProgressBar.setPosition(0);
            Label1.setCaption("Failed");
            backend().processMessages();
            if (error.empty() || error.back() != '.') error += '.';
            backend().messageBox(ui::Box::error(error + "\r\n" + kCheckAndRetry));
            EnableAdminLogin(true);
            return;
        }
        if (!saveSettings(address)) return;
        ProgressBar.setPosition(100);
        Label1.setCaption("Success");
        backend().processMessages();
        setModalResult(ui::ModalResult::Ok);
    });
}

bool TfrmSQLInfo::credentialsStorable()
{
    struct Field {
        ui::Edit& edit;
        const char* key;
        const char* name;
    };
    const Field fields[] = {{edtSQLLogin, setupdata::kKeyUser, "Login"},
                            {edtSQLPassword, setupdata::kKeyPassword, "Password"}};
    for (const Field& f : fields) {
        if (storedUnchanged(f.key, f.edit.text())) continue;
        backend().messageBox(ui::Box::error(notStorableText(f.name)));
        if (!f.edit.canFocus()) EnableAdminLogin(true);
        f.edit.setFocus();
        return false;
    }
    return true;
}

bool TfrmSQLInfo::testConnection(const std::string& address, const std::string& port, std::string& error)
{
    const std::string source = setupdata::dataSource(address, port);
    const std::string& login = edtSQLLogin.text();
    const std::string& password = edtSQLPassword.text();
    auto& sql = services_.sql;
    backend().setCursor(ui::Cursor::SqlWait);
    const auto restoreCursor = platform::scopeExit([this] { backend().setCursor(ui::Cursor::Default); });
    // Disconnected when the test ends, however it ends.
    const auto disconnect = platform::scopeExit([this] { adoConn.reset(); });
    try {
        adoConn.reset();
        adoConn = sql.connect(setupdata::dialogConnection(source, "", login, password));
        adoConn.reset();
        ProgressBar.setPosition(50);
        backend().processMessages();

        adoConn = sql.connect(setupdata::dialogConnection(source, "", login, password));
        backend().processMessages();
        adoConn->queryEdition();
        adoConn.reset();

        // A server that refuses its master database cannot serve the setup run either.
        adoConn = sql.connect(setupdata::dialogConnection(source, "master", login, password));
        adoConn.reset();
    } catch (const setupdata::SqlError& e) {
        error = kConnectionFailed + std::string(e.what());
        return false;
    }
    ProgressBar.setPosition(75);
    backend().processMessages();
    return true;
}

bool TfrmSQLInfo::saveSettings(const std::string& address)
{
    const std::string file = setupdata::kitFolder(GetWindowsDir(services_.system)) + setupdata::kKitDataFileDialog;
    // All four or none: three new values with an old port would connect wrongly on every
    // later run, which would never ask again.
    const std::string error = [&]() -> std::string {
        try {
            setupdata::writeScrambled(services_.settings, file,
                                      {{setupdata::kKeyUser, edtSQLLogin.text()},
                                       {setupdata::kKeyPassword, edtSQLPassword.text()},
                                       {setupdata::kKeyAddress, address},
                                       {setupdata::kKeyPort, edtIPPortNo.text()}});
            return "";
        } catch (const platform::SettingsWriteError& e) {
            return std::string(e.what()) + "\r\n" + e.reason();
        } catch (const std::exception& e) {
            return e.what();
        }
    }();
    if (error.empty()) return true;
    ProgressBar.setPosition(0);
    Label1.setCaption("Failed");
    backend().processMessages();
    backend().messageBox(ui::Box::error(error + "\r\n" + kNotSaved));
    return false;
}

}  // namespace talvorin::sqlinfo
