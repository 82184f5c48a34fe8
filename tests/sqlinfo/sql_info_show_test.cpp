// How the dialog fills itself when it is shown.
#include "sqlinfo_fixture.h"

namespace talvorin::sqlinfo::testing {
namespace {

using ui::Color;

std::vector<std::string> octets(TfrmSQLInfo& d)
{
    return {d.edtSQLIP1.text(), d.edtSQLIP2.text(), d.edtSQLIP3.text(), d.edtSQLIP4.text()};
}

void expectAddressGroupLocked(TfrmSQLInfo& d, bool locked)
{
    const Color color = locked ? Color::ButtonFace : Color::Window;
    for (ui::Edit* e : {&d.edtSQLIP1, &d.edtSQLIP2, &d.edtSQLIP3, &d.edtSQLIP4, &d.edtIPPortNo}) {
        EXPECT_EQ(e->enabled(), !locked) << e->name();
        EXPECT_EQ(e->color(), color) << e->name();
    }
    for (ui::Edit* e : {&d.edtIP1dot, &d.edtIP2dot, &d.edtIP3dot}) EXPECT_EQ(e->color(), color) << e->name();
    EXPECT_EQ(d.Shape1.color(), color);
}

void expectLoginGroupLocked(TfrmSQLInfo& d, bool locked)
{
    for (ui::Edit* e : {&d.edtSQLLogin, &d.edtSQLPassword}) {
        EXPECT_EQ(e->enabled(), !locked) << e->name();
        EXPECT_EQ(e->color(), locked ? Color::ButtonFace : Color::Window) << e->name();
    }
}

TEST_F(DialogTest, ControlsAreCreatedWithTheirCaptionsAndProperties)
{
    TfrmSQLInfo& d = dialog();
    EXPECT_EQ(d.caption(), "SQL Server Information");
    EXPECT_EQ(d.lbBrowse.caption(), "Browse");
    EXPECT_EQ(d.lbIPAddress.caption(), "IP Address:");
    EXPECT_EQ(d.lbPortNo.caption(), "Port Number:");
    EXPECT_EQ(d.lbLogin.caption(), "Login:");
    EXPECT_EQ(d.lbNewSQLPassword.caption(), "Password:");
    EXPECT_EQ(d.btnOK.caption(), "OK");
    EXPECT_EQ(d.btnCancel.caption(), "Cancel");
    EXPECT_EQ(d.edtSQLLogin.text(), "sa");
    EXPECT_TRUE(d.edtSQLPassword.password);
    EXPECT_TRUE(d.btnOK.isDefault);
    EXPECT_TRUE(d.btnCancel.isCancel);
    EXPECT_EQ(d.btnCancel.modalResult, ui::ModalResult::Cancel);
    EXPECT_FALSE(d.ProgressBar.visible());
    EXPECT_EQ(d.ProgressBar.position(), 25);
    EXPECT_EQ(d.Label1.caption(), "");
    EXPECT_FALSE(d.edtAppPath.enabled());
    EXPECT_EQ(d.edtAppPath.color(), Color::ButtonFace);
    for (ui::Button* b : {&d.SpeedButton1, &d.SpeedButton2, &d.SpeedButton3}) {
        EXPECT_EQ(b->caption(), "?");
        EXPECT_FALSE(b->canFocus()) << b->name();
    }
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(d.octet(k).maxLength, 3u);
        EXPECT_TRUE(d.octet(k).upperCase);
    }
    for (ui::Edit* dot : {&d.edtIP1dot, &d.edtIP2dot, &d.edtIP3dot}) {
        EXPECT_EQ(dot->text(), ".");
        EXPECT_TRUE(dot->readOnly);
        EXPECT_FALSE(dot->tabStop);
    }
}

TEST_F(DialogTest, TabStopsFollowTheGroupsAndSkipOctetsTwoToFour)
{
    TfrmSQLInfo& d = dialog();
    d.edtAppPath.setEnabled(true);
    std::vector<std::string> tabStops;
    for (const ui::Control* c : d.controls())
        if (c->tabStop && c->canFocus()) tabStops.push_back(c->name());
    EXPECT_EQ(tabStops, (std::vector<std::string>{"edtAppPath", "edtSQLIP1", "edtIPPortNo", "edtSQLLogin",
                                                  "edtSQLPassword", "btnOK", "btnCancel"}));
    d.edtSQLIP1.setFocus();
    d.pressTab();
    EXPECT_EQ(focusedName(), "edtIPPortNo");
}

TEST_F(DialogTest, ServerBranchShowsTheInstalledServersSettingsLocked)
{
    writeServerFile(tmp / "server", "192.168.1.20", "1433");
    setInstalledServer(tmp / "server");           // no trailing separator: the lookup adds one
    writeKitScrambled("IP address", "10.9.9.9");  // not read in this branch
    writeKitScrambled("User", "kituser");
    TfrmSQLInfo& d = shown();

    EXPECT_EQ(octets(d), (std::vector<std::string>{"192", "168", "1", "20"}));
    EXPECT_EQ(d.edtIPPortNo.text(), "1433");
    EXPECT_EQ(d.edtSQLLogin.text(), "sa");
    EXPECT_EQ(d.edtSQLPassword.text(), "");
    expectAddressGroupLocked(d, true);
    expectLoginGroupLocked(d, false);
    EXPECT_EQ(focusedName(), "edtSQLPassword");
    EXPECT_FALSE(d.edtAppPath.enabled());
    EXPECT_EQ(d.edtAppPath.text(), "");
    EXPECT_FALSE(d.ProgressBar.visible());
    EXPECT_EQ(d.Label1.caption(), "");
    EXPECT_TRUE(backend.boxes.empty());
}

TEST_F(DialogTest, ServerBranchWithoutSettingsLeavesEverythingOpenAndEmpty)
{
    std::filesystem::create_directories(tmp / "server");
    setInstalledServer(tmp / "server/");
    setLocalSqlPort("1433");  // the kit branch would lock the login; this one does not
    TfrmSQLInfo& d = shown();

    EXPECT_EQ(octets(d), (std::vector<std::string>{"", "", "", ""}));
    EXPECT_EQ(d.edtIPPortNo.text(), "");
    expectAddressGroupLocked(d, false);
    expectLoginGroupLocked(d, false);
    EXPECT_EQ(focusedName(), "edtSQLIP1");
    EXPECT_EQ(host.calls, 0);
}

TEST_F(DialogTest, ServerBranchWithOnlyAPortLocksTheGroupAndLeavesTheFocusWhereItWas)
{
    writeServerFile(tmp / "server", "", "1433");
    setInstalledServer(tmp / "server");
    TfrmSQLInfo& d = dialog();
    d.edtSQLLogin.setFocus();
    d.show();
    expectAddressGroupLocked(d, true);
    // The empty address asks for the first octet field, which is locked.
    EXPECT_EQ(focusedName(), "edtSQLLogin");
}

TEST_F(DialogTest, KitBranchShowsTheStoredSettings)
{
    writeKitScrambled("IP address", "10.1.2.3");
    writeKitScrambled("Port", "1500");
    writeKitScrambled("User", "admin");
    writeKitScrambled("Password", "pw");
    TfrmSQLInfo& d = shown();

    EXPECT_EQ(octets(d), (std::vector<std::string>{"10", "1", "2", "3"}));
    EXPECT_EQ(d.edtIPPortNo.text(), "1500");
    EXPECT_EQ(d.edtSQLLogin.text(), "admin");
    EXPECT_EQ(d.edtSQLPassword.text(), "pw");
    expectAddressGroupLocked(d, false);
    expectLoginGroupLocked(d, false);
    EXPECT_EQ(focusedName(), "edtSQLPassword");
    EXPECT_FALSE(d.edtAppPath.enabled());
    EXPECT_FALSE(d.lbBrowse.enabled());
    EXPECT_EQ(d.lbBrowse.cursor(), ui::Cursor::Default);
}

TEST_F(DialogTest, KitBranchWithoutAUserKeepsSaAndClearsThePassword)
{
    writeKitScrambled("IP address", "10.1.2.3");
    writeKitScrambled("Password", "pw");
    TfrmSQLInfo& d = dialog();
    d.edtSQLPassword.setText("typed before");
    d.show();
    EXPECT_EQ(d.edtSQLLogin.text(), "sa");
    EXPECT_EQ(d.edtSQLPassword.text(), "");
    EXPECT_EQ(focusedName(), "edtIPPortNo") << "address but no port";
}

TEST_F(DialogTest, KitBranchOffersThisMachinesServerAndLocksTheLogin)
{
    setLocalSqlPort("1433");
    // The resolver lists several: the first is offered.
    host.result = {0, {{192, 168, 0, 5}, {127, 0, 0, 2}}};
    TfrmSQLInfo& d = shown();

    EXPECT_EQ(octets(d), (std::vector<std::string>{"192", "168", "0", "5"}));
    EXPECT_EQ(d.edtIPPortNo.text(), "1433");
    EXPECT_EQ(d.edtSQLLogin.text(), "sa");
    EXPECT_EQ(d.edtSQLPassword.text(), "");
    expectAddressGroupLocked(d, false);
    expectLoginGroupLocked(d, true);
    EXPECT_EQ(focusedName(), "btnOK");
}

TEST_F(DialogTest, KitBranchDoesNotOfferThisMachineWhenTheServerIsElsewhere)
{
    setLocalSqlPort("1433");
    writeKit("OPTIONS", "DBServerLoc", "1");
    writeKitScrambled("Port", "2000");
    TfrmSQLInfo& d = shown();

    EXPECT_EQ(octets(d), (std::vector<std::string>{"", "", "", ""}));
    EXPECT_EQ(d.edtIPPortNo.text(), "2000") << "the file's port";
    expectLoginGroupLocked(d, true);
    EXPECT_EQ(focusedName(), "edtSQLIP1");
    EXPECT_EQ(host.calls, 0);
}

TEST_F(DialogTest, KitBranchWithoutALocalServerOffersNothing)
{
    TfrmSQLInfo& d = shown();
    EXPECT_EQ(octets(d), (std::vector<std::string>{"", "", "", ""}));
    EXPECT_EQ(d.edtIPPortNo.text(), "");
    expectLoginGroupLocked(d, false);
    EXPECT_EQ(focusedName(), "edtSQLIP1");
    EXPECT_EQ(host.calls, 0);
}

TEST_F(DialogTest, KitBranchWithInstallModeTwoOpensThePathFieldAndFocusesIt)
{
    setLocalSqlPort("1433");
    writeKit("OPTIONS", "InstallMode", "2");
    writeKit("INSTALLATION", "AppPath", "C:\\Orvo3");
    TfrmSQLInfo& d = shown();

    EXPECT_TRUE(d.edtAppPath.enabled());
    EXPECT_EQ(d.edtAppPath.color(), Color::Window);
    EXPECT_EQ(d.edtAppPath.text(), "C:\\Orvo3");
    EXPECT_TRUE(d.lbBrowse.enabled());
    EXPECT_EQ(d.lbBrowse.cursor(), ui::Cursor::HandPoint);
    EXPECT_EQ(focusedName(), "edtAppPath");
    EXPECT_EQ(host.calls, 0) << "install mode 2 never offers this machine";
    EXPECT_TRUE(backend.boxes.empty()) << "no check runs while the dialog fills itself";
}

TEST_F(DialogTest, KitBranchWithAHigherInstallModeKeepsThePathLockedAndOffersNothing)
{
    setLocalSqlPort("1433");
    writeKit("OPTIONS", "InstallMode", "3");
    TfrmSQLInfo& d = shown();
    EXPECT_FALSE(d.edtAppPath.enabled());
    EXPECT_FALSE(d.lbBrowse.enabled());
    EXPECT_EQ(d.edtSQLIP1.text(), "");
    EXPECT_EQ(host.calls, 0);
    EXPECT_EQ(focusedName(), "edtSQLIP1");
}

TEST_F(DialogTest, KitBranchShowsTheApplicationPathAlsoWhenItIsLocked)
{
    writeKit("INSTALLATION", "AppPath", "C:\\Orvo3");
    TfrmSQLInfo& d = shown();
    EXPECT_FALSE(d.edtAppPath.enabled());
    EXPECT_EQ(d.edtAppPath.color(), Color::ButtonFace);
    EXPECT_EQ(d.edtAppPath.text(), "C:\\Orvo3");
}

TEST_F(DialogTest, AFailedAddressLookupIsReportedAndLeavesTheAddressEmpty)
{
    setLocalSqlPort("1433");
    host.result = {11001, {}};
    TfrmSQLInfo& d = shown();

    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].box.text, "Winsock error 11001");
    EXPECT_EQ(backend.boxes[0].box.caption, "Error");
    EXPECT_EQ(octets(d), (std::vector<std::string>{"", "", "", ""}));
    EXPECT_EQ(d.edtIPPortNo.text(), "1433");
    EXPECT_EQ(focusedName(), "edtSQLIP1");
}

TEST_F(DialogTest, EveryShowingStartsAfresh)
{
    writeKitScrambled("IP address", "10.1.2.3");
    writeKitScrambled("Port", "1433");
    TfrmSQLInfo& d = shown();
    d.edtSQLPassword.setFocus();
    typeHere("typed");
    d.EnableServerAddress(false);
    d.ProgressBar.setVisible(true);
    d.Label1.setCaption("Failed");
    d.show();
    EXPECT_EQ(d.edtSQLPassword.text(), "");
    expectAddressGroupLocked(d, false);
    EXPECT_FALSE(d.ProgressBar.visible());
    EXPECT_EQ(d.Label1.caption(), "");
}

TEST_F(DialogTest, WhatEveryShowingSetsWhateverWasTypedBefore)
{
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string login, password, port;
        bool loginLocked;
    };
    const auto serverWith = [this](const std::string& address, const std::string& port) {
        writeServerFile(tmp / "server", address, port);
        setInstalledServer(tmp / "server");
    };
    const std::vector<Case> cases = {
        {"the login is sa again, kit branch", [&] { writeKitScrambled("IP address", "10.1.2.3"); }, "sa", "", "",
         false},
        {"the login is sa again, server branch", [&] { serverWith("10.1.2.3", "1433"); }, "sa", "", "1433", false},
        {"the server branch clears a typed password", [&] { serverWith("", ""); }, "sa", "", "", false},
        {"this machine's port replaces the file's",
         [&] {
             writeKitScrambled("Port", "2000");
             setLocalSqlPort("1433");
         },
         "sa", "", "1433", true},
        {"a local port locks the login the file gave",
         [&] {
             writeKitScrambled("IP address", "10.1.2.3");
             writeKitScrambled("User", "admin");
             writeKitScrambled("Password", "pw");
             setLocalSqlPort("1433");
         },
         "admin", "pw", "", true},
    };
    for (const Case& c : cases) {
        registry = FakeRegistry{};
        std::filesystem::remove_all(tmp / "server");
        std::filesystem::remove(kitFile());
        c.arrange();
        TfrmSQLInfo& d = dialog();
        d.edtSQLLogin.setText("typed login");
        d.edtSQLPassword.setText("typed password");
        d.show();
        EXPECT_EQ(d.edtSQLLogin.text(), c.login) << c.what;
        EXPECT_EQ(d.edtSQLPassword.text(), c.password) << c.what;
        EXPECT_EQ(d.edtIPPortNo.text(), c.port) << c.what;
        EXPECT_EQ(d.edtSQLLogin.enabled(), !c.loginLocked) << c.what;
        EXPECT_EQ(d.edtSQLPassword.enabled(), !c.loginLocked) << c.what;
    }
}

TEST_F(DialogTest, FillingTheFieldsRunsNoExitChecks)
{
    // The last showing ended with the focus in a port field whose text would fail its check.
    writeKitScrambled("IP address", "192.168.100.200");
    writeKitScrambled("Port", "1433");
    TfrmSQLInfo& d = dialog();
    d.edtIPPortNo.setText("0");
    d.edtIPPortNo.setFocus();
    d.show();
    EXPECT_TRUE(backend.boxes.empty());
    EXPECT_EQ(focusedName(), "edtSQLPassword");
}

TEST_F(DialogTest, AddressesAreSplitAtTheirFirstThreeDots)
{
    struct Case {
        std::string address;
        std::vector<std::string> fields;
    };
    const Case cases[] = {
        {"192.168.1.20", {"192", "168", "1", "20"}},
        {"10.1.2", {"10", "1", "", "2"}},
        {"1.2.3.4.5", {"1", "2", "3", "4.5"}},
        {"localhost", {"", "", "", "localhost"}},
        {".5", {"", "", "", "5"}},
    };
    for (const Case& c : cases) {
        writeKitScrambled("IP address", c.address);
        TfrmSQLInfo& d = shown();
        EXPECT_EQ(octets(d), c.fields) << c.address;
    }
}

TEST_F(DialogTest, FieldsPutInByTheProgramAreSizedLikeTypedOnes)
{
    writeKitScrambled("IP address", "1.22.333.4444");
    TfrmSQLInfo& d = shown();
    EXPECT_EQ(d.edtSQLIP1.bounds().left, 11);
    EXPECT_EQ(d.edtSQLIP1.bounds().width, 12);
    EXPECT_EQ(d.edtSQLIP2.bounds().left, 36);
    EXPECT_EQ(d.edtSQLIP2.bounds().width, 22);
    EXPECT_EQ(d.edtSQLIP3.bounds().left, 68);
    EXPECT_EQ(d.edtSQLIP3.bounds().width, 22);
    EXPECT_EQ(d.edtSQLIP4.text(), "4444") << "the length limit applies to typing only";
    EXPECT_EQ(d.edtSQLIP4.bounds().left, 100);
    EXPECT_EQ(d.edtSQLIP4.bounds().width, 22);
}

}  // namespace
}  // namespace talvorin::sqlinfo::testing
