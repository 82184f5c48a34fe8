#include "sqlinfo/sql_info.h"

#include <utility>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/scope_exit.h"
#include "setupdata/setup_files.h"
#include "formats/str_to_int.h"
#include "sqlinfo/local_lookups.h"
#include "ui/backend.h"
#include "ui/handler_guard.h"

namespace talvorin::sqlinfo {
namespace {

constexpr const char* kAppPathHelp = "This is the directory when Velmora Deluxe is installed. (e.g. C:\\Orvo3)";
constexpr const char* kAddressHelp =
    "This database server must have a fixed IP Address. To find the fixed IP Address of database server :\n\r"
    "- Insert Velmora Deluxe installation CD to database server \n\r- Run Install.exe\n\r"
    "- Click <View database server settings> button";
constexpr const char* kPortHelp = "To find the Port Number of the database server :\n\r"
                                  "- Insert Velmora Deluxe installation CD to database server \n\r- Run Install.exe\n\r"
                                  "- Click <View database server settings> button";

constexpr const char* kOctetRange = " is not a valid entry. Please specify a value between 0 and 255 for this field.";
constexpr const char* kInvalidPort = "Invalid input for port number!";
constexpr const char* kInvalidAppPath = "Invalid Application Path ! Please select again.";
constexpr const char* kBrowseTitle = "Please select the application path of Orvo Deluxe";

constexpr const char* kSectionOptions = "OPTIONS";
constexpr const char* kSectionInstallation = "INSTALLATION";

void digitsOnly(char& key)
{
    if ((key < '0' || key > '9') && key != '\b') key = '\0';
}

// Sets the flag until the scope is left, also when a failure leaves early.
auto raised(bool& flag)
{
    const bool old = std::exchange(flag, true);
    return platform::scopeExit([&flag, old] { flag = old; });
}

}  // namespace

TfrmSQLInfo::TfrmSQLInfo(ui::Backend& backend, SQLInfoServices services)
    : ui::Form(backend, "frmSQLInfo", "SQL Server Information"),
      grpAppPath(*this, "grpAppPath", "Application Path"),
      edtAppPath(*this, "edtAppPath"),
      lbBrowse(*this, "lbBrowse", "Browse"),
      SpeedButton1(*this, "SpeedButton1", "?", false),
      grpDatabaseServer(*this, "grpDatabaseServer", "Database Server"),
      lbIPAddress(*this, "lbIPAddress", "IP Address:"),
      Shape1(*this, "Shape1"),
      edtSQLIP1(*this, "edtSQLIP1"),
      edtIP1dot(*this, "edtIP1dot", "."),
      edtSQLIP2(*this, "edtSQLIP2"),
      edtIP2dot(*this, "edtIP2dot", "."),
      edtSQLIP3(*this, "edtSQLIP3"),
      edtIP3dot(*this, "edtIP3dot", "."),
      edtSQLIP4(*this, "edtSQLIP4"),
      SpeedButton2(*this, "SpeedButton2", "?", false),
      lbPortNo(*this, "lbPortNo", "Port Number:"),
      edtIPPortNo(*this, "edtIPPortNo"),
      SpeedButton3(*this, "SpeedButton3", "?", false),
      grpAdministrator(*this, "grpAdministrator", "Administrator"),
      lbLogin(*this, "lbLogin", "Login:"),
      edtSQLLogin(*this, "edtSQLLogin", "sa"),
      lbNewSQLPassword(*this, "lbNewSQLPassword", "Password:"),
      edtSQLPassword(*this, "edtSQLPassword"),
      btnOK(*this, "btnOK", "OK"),
      btnCancel(*this, "btnCancel", "Cancel"),
      grpConnectionStatus(*this, "grpConnectionStatus", "Connection Status"),
      ProgressBar(*this, "ProgressBar", 0, 100),
      Label1(*this, "Label1"),
      services_(services)
{
    layOut();
    edtAppPath.setEnabled(false);
    edtAppPath.setColor(ui::Color::ButtonFace);
    edtAppPath.onExit = [this] { edtAppPathExit(); };
    lbBrowse.onClick = [this] { lbBrowseClick(); };
    SpeedButton1.onClick = [this] { SpeedButton1Click(); };
    SpeedButton2.onClick = [this] { SpeedButton2Click(); };
    SpeedButton3.onClick = [this] { SpeedButton3Click(); };

    for (int k = 1; k <= 4; ++k) {
        ui::Edit& e = octet(k);
        e.maxLength = 3;
        e.upperCase = true;
        e.tabStop = k == 1;
        e.onKeyPress = [this](char& key) { edtSQLIP1KeyPress(key); };
        e.onExit = [this, &e] { edtSQLIP1Exit(e); };
    }
    edtSQLIP1.onChange = [this] { edtSQLIP1Change(); };
    edtSQLIP2.onChange = [this] { edtSQLIP2Change(); };
    edtSQLIP3.onChange = [this] { edtSQLIP3Change(); };
    edtSQLIP4.onChange = [this] { edtSQLIP4Change(); };
    edtSQLIP1.onKeyDown = [this](ui::Key key) { edtSQLIP1KeyDown(key); };
    edtSQLIP2.onKeyDown = [this](ui::Key key) { edtSQLIP2KeyDown(key); };
    edtSQLIP3.onKeyDown = [this](ui::Key key) { edtSQLIP3KeyDown(key); };
    edtSQLIP4.onKeyDown = [this](ui::Key key) { edtSQLIP4KeyDown(key); };
    for (ui::Edit* dot : {&edtIP1dot, &edtIP2dot, &edtIP3dot}) {
        dot->readOnly = true;
        dot->tabStop = false;
    }

    edtIPPortNo.onKeyPress = [this](char& key) { edtIPPortNoKeyPress(key); };
    edtIPPortNo.onExit = [this] { edtIPPortNoExit(); };
    edtSQLPassword.password = true;

    btnOK.isDefault = true;
    btnOK.onClick = [this] { btnOKClick(); };
    btnCancel.isCancel = true;
    btnCancel.modalResult = ui::ModalResult::Cancel;

    ProgressBar.setPosition(25);
    ProgressBar.setVisible(false);
}

ui::Edit& TfrmSQLInfo::octet(int k)
{
    switch (k) {
    case 1: return edtSQLIP1;
    case 2: return edtSQLIP2;
    case 3: return edtSQLIP3;
    case 4: return edtSQLIP4;
    default: throw std::out_of_range("octet field " + std::to_string(k));
    }
}

void TfrmSQLInfo::guarded(const std::function<void()>& handler)
{
    // Where the focus is moving, the move goes on after the box; and the terminal's line
    // mode has no dispatch point of its own to catch it.
    ui::dispatchGuarded(backend(), handler);
}

// ---- Locking -------------------------------------------------------------------------

void TfrmSQLInfo::EnableServerAddress(bool Enable)
{
    const ui::Color fieldColor = Enable ? ui::Color::Window : ui::Color::ButtonFace;
    for (int k = 1; k <= 4; ++k) {
        octet(k).setEnabled(Enable);
        octet(k).setColor(fieldColor);
    }
    edtIPPortNo.setEnabled(Enable);
    edtIPPortNo.setColor(fieldColor);
    for (ui::Edit* dot : {&edtIP1dot, &edtIP2dot, &edtIP3dot}) dot->setColor(fieldColor);
    Shape1.setColor(fieldColor);
}

void TfrmSQLInfo::EnableAdminLogin(bool Enable)
{
    const ui::Color fieldColor = Enable ? ui::Color::Window : ui::Color::ButtonFace;
    for (ui::Edit* e : {&edtSQLLogin, &edtSQLPassword}) {
        e->setEnabled(Enable);
        e->setColor(fieldColor);
    }
}

// ---- Showing -------------------------------------------------------------------------

void TfrmSQLInfo::FormShow()
{
    guarded([this] {
        const auto filling = raised(filling_);
        centreOnScreen();
        EnableServerAddress(true);
        edtSQLLogin.setText("sa");

        std::string address, port;
        const std::string serverPath = GetServerPath(services_.registry);
        if (!serverPath.empty())
            fillFromServer(serverPath, address, port);
        else
            fillFromKit(address, port);

        if (edtAppPath.enabled())
            edtAppPath.setFocus();
        else if (address.empty())
            edtSQLIP1.setFocus();
        else if (port.empty())
            edtIPPortNo.setFocus();
        else if (edtSQLPassword.enabled())
            edtSQLPassword.setFocus();
        else
            btnOK.setFocus();

        ProgressBar.setVisible(false);
        Label1.setCaption("");
    });
}

void TfrmSQLInfo::fillFromServer(const std::string& serverPath, std::string& address, std::string& port)
{
    const std::string file = serverPath + setupdata::kServerSettingsFile;
    address = setupdata::readScrambled(services_.settings, file, setupdata::kKeyAddress);
    port = setupdata::readScrambled(services_.settings, file, setupdata::kKeyPort);
    splitAddress(address);
    edtSQLPassword.setText("");
    edtIPPortNo.setText(port);

    bool allEmpty = edtIPPortNo.text().empty();
    for (int k = 1; k <= 4; ++k) allEmpty = allEmpty && octet(k).text().empty();
    // What came from the server's own settings is shown locked.
    if (!allEmpty) EnableServerAddress(false);
    EnableAdminLogin(true);
}

void TfrmSQLInfo::fillFromKit(std::string& address, std::string& port)
{
    const std::string file = setupdata::kitFolder(GetWindowsDir(services_.system)) + setupdata::kKitDataFileDialog;
    const auto& settings = services_.settings;
    address = setupdata::readScrambled(settings, file, setupdata::kKeyAddress);
    port = setupdata::readScrambled(settings, file, setupdata::kKeyPort);
    const std::string user = setupdata::readScrambled(settings, file, setupdata::kKeyUser);
    const std::string password = setupdata::readScrambled(settings, file, setupdata::kKeyPassword);
    const int installMode = settings.readInt(file, kSectionOptions, "InstallMode", 0);
    const int dbServerLoc = settings.readInt(file, kSectionOptions, "DBServerLoc", 0);
    const std::string appPath = settings.readString(file, kSectionInstallation, "AppPath", "");

    const bool pathEditable = installMode == 2;
    edtAppPath.setEnabled(pathEditable);
    edtAppPath.setColor(pathEditable ? ui::Color::Window : ui::Color::ButtonFace);
    lbBrowse.setEnabled(pathEditable);
    lbBrowse.setCursor(pathEditable ? ui::Cursor::HandPoint : ui::Cursor::Default);

    if (!address.empty()) {
        splitAddress(address);
        if (!user.empty()) {
            edtSQLLogin.setText(user);
            edtSQLPassword.setText(password);
        } else {
            edtSQLPassword.setText("");
        }
    } else {
        // This machine's own server is the default, unless the installer says the
        // server is elsewhere.
        const std::string tcpPort = GetLocalSQLPort(services_.registry);
        if (!tcpPort.empty() && installMode < 2 && dbServerLoc == 0) {
            address = GetLocalIPAddress(services_.host, backend());
            port = tcpPort;
        }
        splitAddress(address);
        edtSQLPassword.setText("");
    }
    edtIPPortNo.setText(port);
    EnableAdminLogin(GetLocalSQLPort(services_.registry).empty());
    edtAppPath.setText(appPath);
}

void TfrmSQLInfo::splitAddress(const std::string& address)
{
    std::string rest = address;
    for (int k = 1; k <= 3; ++k) {
        const std::size_t dot = rest.find('.');
        if (dot == std::string::npos) {
            octet(k).setText("");
        } else {
            octet(k).setText(rest.substr(0, dot));
            rest.erase(0, dot + 1);
        }
    }
    octet(4).setText(rest);
}

// ---- The octet fields ----------------------------------------------------------------

void TfrmSQLInfo::edtSQLIP1KeyPress(char& Key) { digitsOnly(Key); }

void TfrmSQLInfo::edtSQLIP1Change() { octetChanged(1); }
void TfrmSQLInfo::edtSQLIP2Change() { octetChanged(2); }
void TfrmSQLInfo::edtSQLIP3Change() { octetChanged(3); }
void TfrmSQLInfo::edtSQLIP4Change() { octetChanged(4); }

void TfrmSQLInfo::octetChanged(int k)
{
    ui::Edit& field = octet(k);
    field.setBounds(octetBounds(k, field.text().size()));

    if (field.text().size() == 3) {
        ui::Edit& next = k < 4 ? octet(k + 1) : edtIPPortNo;
        next.setFocus();
    } else {
        const std::size_t caret = field.selStart();
        field.setSelStart(0);
        field.setSelStart(caret);
    }
}

void TfrmSQLInfo::edtSQLIP1KeyDown(ui::Key Key) { octetKeyDown(1, Key); }
void TfrmSQLInfo::edtSQLIP2KeyDown(ui::Key Key) { octetKeyDown(2, Key); }
void TfrmSQLInfo::edtSQLIP3KeyDown(ui::Key Key) { octetKeyDown(3, Key); }
void TfrmSQLInfo::edtSQLIP4KeyDown(ui::Key Key) { octetKeyDown(4, Key); }

void TfrmSQLInfo::octetKeyDown(int k, ui::Key key)
{
    const ui::Edit& field = octet(k);
    if (key == ui::Key::Right && k < 4 && field.selStart() == field.text().size())
        octet(k + 1).setFocus();
    else if (key == ui::Key::Left && k > 1 && field.selStart() == 0)
        octet(k - 1).setFocus();
}

void TfrmSQLInfo::edtSQLIP1Exit(ui::Edit& Sender)
{
    if (filling_ || focusTarget() == &btnCancel) return;
    const auto value = formats::tryStrToInt(Sender.text());
    // No number (an empty field) passes: the OK button catches empty fields.
    if (!value || (*value >= 0 && *value <= 255)) return;
    backend().messageBox(ui::Box::error(Sender.text() + kOctetRange));
    Sender.setFocus();
}

// ---- The port field ------------------------------------------------------------------

void TfrmSQLInfo::edtIPPortNoKeyPress(char& Key) { digitsOnly(Key); }

void TfrmSQLInfo::edtIPPortNoExit()
{
    if (filling_ || focusTarget() == &btnCancel) return;
    const auto value = formats::tryStrToInt(edtIPPortNo.text());
    if (!value) {
        backend().messageBox(ui::Box::error(kInvalidPort));
        edtIPPortNo.setFocus();
    } else if (*value < 1 || *value > 65535) {
        backend().messageBox(ui::Box::warning(edtIPPortNo.text() + kPortRange));
        edtIPPortNo.setFocus();
    }
}

// ---- The application path ------------------------------------------------------------

void TfrmSQLInfo::edtAppPathExit()
{
    if (filling_ || checkingPath_ || focusTarget() == &btnCancel) return;
    guarded([this] { checkApplicationPath(); });
}

void TfrmSQLInfo::checkApplicationPath()
{
    // Filling the fields below moves the focus; leaving the path field must not start
    // this check again.
    const auto checking = raised(checkingPath_);
    if (edtAppPath.text().empty()) return;
    std::string dir = platform::withTrailingSeparator(edtAppPath.text());
    if (!platform::fileExists(dir + setupdata::kServerSettingsFile)) {
        dir += std::string("Bin") + platform::kDirSeparator;
        if (!platform::fileExists(dir + setupdata::kServerSettingsFile)) throw std::runtime_error(kInvalidAppPath);
    }
    const std::string file = dir + setupdata::kServerSettingsFile;
    const std::string address = setupdata::readScrambled(services_.settings, file, setupdata::kKeyAddress);
    const std::string port = setupdata::readScrambled(services_.settings, file, setupdata::kKeyPort);
    if (!address.empty()) {
        splitAddress(address);
        edtSQLLogin.setText("sa");
        edtSQLPassword.setText("");
    }
    edtIPPortNo.setText(port);
    // Locked even without an address: the OK button's check unlocks empty fields.
    EnableServerAddress(false);
    EnableAdminLogin(true);
    edtSQLPassword.setFocus();
}

void TfrmSQLInfo::lbBrowseClick()
{
    if (!edtAppPath.enabled()) return;
    edtAppPath.setFocus();
    if (auto chosen = backend().browseForFolder(kBrowseTitle)) edtAppPath.setText(std::move(*chosen));
    // Also after a cancelled choice: the path already there is checked again.
    guarded([this] { checkApplicationPath(); });
}

// ---- Help ----------------------------------------------------------------------------

void TfrmSQLInfo::SpeedButton1Click() { backend().messageBox(ui::Box::information(kAppPathHelp)); }
void TfrmSQLInfo::SpeedButton2Click() { backend().messageBox(ui::Box::information(kAddressHelp)); }
void TfrmSQLInfo::SpeedButton3Click() { backend().messageBox(ui::Box::information(kPortHelp)); }

}  // namespace talvorin::sqlinfo
