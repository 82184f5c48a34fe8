#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/host_lookup.h"
#include "platform/registry.h"
#include "platform/settings_files.h"
#include "platform/system_info.h"
#include "setupdata/sql_server.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace talvorin::sqlinfo {

// After a rejected port, in the port field's check and in OK's.
inline constexpr const char* kPortRange =
    " is not a valid entry. Please specify a value between 1 and 65535 for this field.";

// What the dialog reads, writes and asks outside itself.
struct SQLInfoServices {
    platform::SystemInfo& system;
    platform::SettingsFiles& settings;
    platform::Registry& registry;
    platform::HostLookup& host;
    setupdata::SqlServerClient& sql;
};

// The modal "SQL Server Information" dialog: the server's address, port, administrator
// login and password (and, for one install mode, the application path), checked field by
// field, tested against the server and stored scrambled in the kit data file. Its result
// is OK only after a successful test and save.
class TfrmSQLInfo : public ui::Form {
public:
    TfrmSQLInfo(ui::Backend& backend, SQLInfoServices services);

    // Group "Application Path"
    ui::GroupBox grpAppPath;
    ui::Edit edtAppPath;
    ui::Label lbBrowse;
    ui::Button SpeedButton1;
    // Group "Database Server"
    ui::GroupBox grpDatabaseServer;
    ui::Label lbIPAddress;
    ui::Shape Shape1;
    ui::Edit edtSQLIP1;
    ui::Edit edtIP1dot;
    ui::Edit edtSQLIP2;
    ui::Edit edtIP2dot;
    ui::Edit edtSQLIP3;
    ui::Edit edtIP3dot;
    ui::Edit edtSQLIP4;
    ui::Button SpeedButton2;
    ui::Label lbPortNo;
    ui::Edit edtIPPortNo;
    ui::Button SpeedButton3;
    // Group "Administrator"
    ui::GroupBox grpAdministrator;
    ui::Label lbLogin;
    ui::Edit edtSQLLogin;
    ui::Label lbNewSQLPassword;
    ui::Edit edtSQLPassword;
    ui::Button btnOK;
    ui::Button btnCancel;
    // Group "Connection Status"
    ui::GroupBox grpConnectionStatus;
    ui::ProgressBar ProgressBar;
    ui::Label Label1;
    // The test connection; open only while a step of the test runs.
    std::unique_ptr<setupdata::SqlConnection> adoConn;

    // The octet field k (1 to 4).
    ui::Edit& octet(int k);

    void EnableServerAddress(bool Enable);
    void EnableAdminLogin(bool Enable);

    void edtSQLIP1KeyPress(char& Key);
    void edtSQLIP1Change();
    void edtSQLIP2Change();
    void edtSQLIP3Change();
    void edtSQLIP4Change();
    void edtSQLIP1KeyDown(ui::Key Key);
    void edtSQLIP2KeyDown(ui::Key Key);
    void edtSQLIP3KeyDown(ui::Key Key);
    void edtSQLIP4KeyDown(ui::Key Key);
    void edtSQLIP1Exit(ui::Edit& Sender);
    void edtIPPortNoKeyPress(char& Key);
    void edtIPPortNoExit();
    void edtAppPathExit();
    void lbBrowseClick();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void btnOKClick();

protected:
    void FormShow() override;

    // Where an octet field k (1 to 4) sits in its group, by the length of its text.
    static ui::Rect octetBounds(int k, std::size_t length);

private:
    // The window's size, frames, fonts and every control's place (sql_info_layout.cpp).
    void layOut();
    void fillFromServer(const std::string& serverPath, std::string& address, std::string& port);
    void fillFromKit(std::string& address, std::string& port);
    void splitAddress(const std::string& address);
    void octetChanged(int k);
    void octetKeyDown(int k, ui::Key key);
    void checkApplicationPath();
    bool credentialsStorable();
    bool testConnection(const std::string& address, const std::string& port, std::string& error);
    bool saveSettings(const std::string& address);
    // Runs a handler as the program's message loop would: a failure nothing inside caught
    // is shown in the general error box and ends the handler.
    void guarded(const std::function<void()>& handler);

    SQLInfoServices services_;
    // While the dialog fills itself it is not yet active, so moving the focus runs no
    // exit checks.
    bool filling_ = false;
    bool checkingPath_ = false;
};

}  // namespace talvorin::sqlinfo
