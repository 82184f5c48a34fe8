// The OK button: the checks, the confirmation, the connection test and saving.
#include "sqlinfo_fixture.h"

#include <gmock/gmock.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "formats/ini_text.h"

namespace talvorin::sqlinfo::testing {
namespace {

const std::string kRetry = "\r\nPlease make sure the information is correct and try again.";

class OkTest : public DialogTest {
protected:
    OkTest()
    {
        shown();
        dialog().edtSQLLogin.setFocus();
        forgetRecords();
    }

    void fill(const std::vector<std::string>& octets, const std::string& port, const std::string& login = "sa",
              const std::string& password = "secret")
    {
        TfrmSQLInfo& d = dialog();
        for (int k = 1; k <= 4; ++k) d.octet(k).setText(octets[static_cast<std::size_t>(k - 1)]);
        d.edtIPPortNo.setText(port);
        d.edtSQLLogin.setText(login);
        d.edtSQLPassword.setText(password);
        d.edtSQLLogin.setFocus();
        forgetRecords();
    }

    std::vector<std::string> labels() const
    {
        std::vector<std::string> out;
        for (const auto& l : backend.labelTexts) out.push_back(l.text);
        return out;
    }
    std::vector<int> positions() const
    {
        std::vector<int> out;
        for (const auto& p : backend.progress) out.push_back(p.position);
        return out;
    }
    bool kitFileWritten() const { return std::filesystem::exists(kitFile()); }
};

TEST_F(OkTest, AnEmptyOctetSendsTheFocusToTheFirstEmptyOne)
{
    TfrmSQLInfo& d = dialog();
    fill({"10", "", "", "3"}, "1433");
    d.pressEnter();
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].box.text, "Invalid IP Address! Please re-enter.");
    EXPECT_EQ(backend.boxes[0].box.caption, "Error");
    EXPECT_EQ(backend.boxes[0].box.icon, ui::Icon::Error);
    EXPECT_EQ(focusedName(), "edtSQLIP2");
    EXPECT_EQ(d.modalResult(), ui::ModalResult::None);
    EXPECT_TRUE(sql.connects.empty());
}

TEST_F(OkTest, AnEmptyOctetUnlocksALockedAddressGroupFirst)
{
    TfrmSQLInfo& d = dialog();
    fill({"10", "1", "2", ""}, "1433");
    d.EnableServerAddress(false);
    d.pressEnter();
    EXPECT_TRUE(d.edtSQLIP1.enabled());
    EXPECT_TRUE(d.edtIPPortNo.enabled());
    EXPECT_EQ(d.Shape1.color(), ui::Color::Window);
    EXPECT_EQ(focusedName(), "edtSQLIP4");
}

TEST_F(OkTest, APortOutOfRangeIsClearedAndFocused)
{
    TfrmSQLInfo& d = dialog();
    for (const std::string port : {"0", "65536"}) {
        fill({"10", "1", "2", "3"}, port);
        d.EnableServerAddress(false);
        d.pressEnter();
        ASSERT_EQ(backend.boxes.size(), 1u) << port;
        EXPECT_EQ(backend.boxes[0].box.text,
                  port + " is not a valid entry. Please specify a value between 1 and 65535 for this field.");
        EXPECT_EQ(backend.boxes[0].box.caption, "Error");
        EXPECT_EQ(backend.boxes[0].box.icon, ui::Icon::Error);
        EXPECT_EQ(d.edtIPPortNo.text(), "");
        EXPECT_TRUE(d.edtIPPortNo.enabled());
        EXPECT_EQ(focusedName(), "edtIPPortNo");
        EXPECT_TRUE(sql.connects.empty());
    }
}

TEST_F(OkTest, PortsOneAndTheHighestPassToTheConfirmation)
{
    TfrmSQLInfo& d = dialog();
    for (const std::string port : {"1", "65535"}) {
        fill({"10", "1", "2", "3"}, port);
        d.pressEnter();
        ASSERT_EQ(backend.boxes.size(), 1u) << port;
        EXPECT_EQ(backend.boxes[0].box.caption, "Confirm") << port;
    }
}

TEST_F(OkTest, OctetsAboveTheirRangePassToTheConnectionTest)
{
    // The fields check their range when they are left; the OK button does not.
    TfrmSQLInfo& d = dialog();
    fill({"300", "1", "2", "3"}, "1433");
    sql.connectError = "SQL Server does not exist or access denied";
    backend.answers.push_back(ui::Answer::Yes);
    d.pressEnter();
    ASSERT_EQ(sql.connects.size(), 1u);
    EXPECT_EQ(sql.connects[0].dataSource, "300.1.2.3,1433");
    ASSERT_EQ(backend.boxes.size(), 2u);
    EXPECT_EQ(backend.boxes[1].box.text,
              "Microsoft SQL Server connection failed. SQL Server does not exist or access denied." + kRetry);
}

TEST_F(OkTest, PendingMessagesGoThroughBeforeTheEditionQuery)
{
    std::vector<int> atConnect;
    int atQuery = -1;
    sql.onConnect = [&] { atConnect.push_back(backend.processMessagesCalls); };
    sql.onEditionQuery = [&] { atQuery = backend.processMessagesCalls; };
    fill({"10", "1", "2", "3"}, "1433");
    backend.answers.push_back(ui::Answer::Yes);
    dialog().pressEnter();
    ASSERT_EQ(atConnect.size(), 3u);
    EXPECT_GT(atConnect[1], atConnect[0]) << "after the first connection's status";
    EXPECT_GT(atQuery, atConnect[1]) << "between the query's connection and the query";
}

TEST_F(OkTest, APortThatIsNoNumberShowsTheConversionErrorAndNothingElse)
{
    TfrmSQLInfo& d = dialog();
    for (const std::string port : {"", "99999999999"}) {
        fill({"10", "1", "2", "3"}, port);
        d.pressEnter();
        ASSERT_EQ(backend.boxes.size(), 1u);
        EXPECT_EQ(backend.boxes[0].box.text, "'" + port + "' is not a valid integer value");
        EXPECT_EQ(backend.boxes[0].box.caption, ui::programTitle());
        EXPECT_EQ(backend.boxes[0].box.icon, ui::Icon::Error);
        EXPECT_EQ(d.edtIPPortNo.text(), port);
        EXPECT_TRUE(sql.connects.empty());
    }
}

TEST_F(OkTest, AnsweringNoToTheConfirmationChangesNothing)
{
    TfrmSQLInfo& d = dialog();
    fill({" 10", "1 ", "2", "3"}, "1433");
    backend.answers.push_back(ui::Answer::No);
    d.pressEnter();
    ASSERT_EQ(backend.boxes.size(), 1u);
    const ui::Box& box = backend.boxes[0].box;
    EXPECT_EQ(box.text,
              "If you have not installed SQL Server on the machine with IP Address - [10.1.2.3], you should quit "
              "this setup and install SQL Server first. \rAre you sure to proceed?");
    EXPECT_EQ(box.caption, "Confirm");
    EXPECT_EQ(box.icon, ui::Icon::Question);
    EXPECT_EQ(box.buttons, ui::Buttons::YesNo);
    EXPECT_TRUE(sql.connects.empty());
    EXPECT_TRUE(labels().empty());
    EXPECT_TRUE(positions().empty());
    EXPECT_FALSE(d.ProgressBar.visible());
    EXPECT_FALSE(kitFileWritten());
    EXPECT_EQ(d.modalResult(), ui::ModalResult::None);
}

TEST_F(OkTest, ASuccessfulTestSavesTheFourValuesScrambledAndEndsWithOk)
{
    TfrmSQLInfo& d = dialog();
    fill({" 10", "1", "2 ", "3"}, "1433", " admin", "p@ss =w0rd;");
    backend.answers.push_back(ui::Answer::Yes);
    d.pressEnter();

    EXPECT_EQ(d.modalResult(), ui::ModalResult::Ok);
    EXPECT_EQ(backend.boxes.size(), 1u) << "the confirmation only";
    EXPECT_EQ(labels(), (std::vector<std::string>{"Connecting", "Success"}));
    EXPECT_EQ(positions(), (std::vector<int>{25, 50, 75, 100}));
    EXPECT_TRUE(d.ProgressBar.visible());
    EXPECT_EQ(backend.cursors, (std::vector<ui::Cursor>{ui::Cursor::SqlWait, ui::Cursor::Default}));

    EXPECT_EQ(sql.catalogs(), (std::vector<std::string>{"", "", "master"}));
    EXPECT_EQ(sql.editionQueries, 1);
    EXPECT_EQ(sql.openConnections, 0) << "every connection closed";
    for (const auto& c : sql.connects) {
        EXPECT_EQ(c.dataSource, "10.1.2.3,1433");
        EXPECT_EQ(c.user, " admin");
        EXPECT_EQ(c.password, "p@ss =w0rd;");
        EXPECT_EQ(c.connectTimeoutSeconds, 60);
        EXPECT_EQ(c.commandTimeoutSeconds, 300);
        EXPECT_TRUE(c.readOnly);
    }

    EXPECT_EQ(settings.readKeyNames(kitFile(), "DB"),
              (std::vector<std::string>{"User", "Password", "IP address", "Port"}));
    EXPECT_EQ(settings.readString(kitFile(), "DB", "User", ""), setupdata::ScrambleText(" admin"));
    EXPECT_EQ(settings.readString(kitFile(), "DB", "Password", ""), setupdata::ScrambleText("p@ss =w0rd;"));
    EXPECT_EQ(settings.readString(kitFile(), "DB", "IP address", ""), setupdata::ScrambleText("10.1.2.3"));
    EXPECT_EQ(settings.readString(kitFile(), "DB", "Port", ""), setupdata::ScrambleText("1433"));
    // The setup run reads the same file under its own spelling.
    const std::string runFile = kitDir() + platform::kDirSeparator + setupdata::kKitDataFile;
    EXPECT_EQ(setupdata::readScrambled(settings, runFile, "User"), " admin");
    EXPECT_EQ(setupdata::readScrambled(settings, runFile, "Password"), "p@ss =w0rd;");
    EXPECT_EQ(setupdata::readScrambled(settings, runFile, "IP address"), "10.1.2.3");
    EXPECT_EQ(setupdata::readScrambled(settings, runFile, "Port"), "1433");
}

TEST_F(OkTest, SavingKeepsTheOtherValuesOfTheKitFile)
{
    writeKit("OPTIONS", "InstallMode", "1");
    writeKit("INSTALLATION", "AppPath", "C:\\Orvo3");
    writeKitScrambled("User", "old");
    fill({"10", "1", "2", "3"}, "1433", "sa", "new");
    backend.answers.push_back(ui::Answer::Yes);
    dialog().pressEnter();
    EXPECT_EQ(dialog().modalResult(), ui::ModalResult::Ok);
    EXPECT_EQ(settings.readString(kitFile(), "OPTIONS", "InstallMode", ""), "1");
    EXPECT_EQ(settings.readString(kitFile(), "INSTALLATION", "AppPath", ""), "C:\\Orvo3");
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "User"), "sa");
}

TEST_F(OkTest, AFailedConnectionIsReportedAndUnlocksTheLogin)
{
    TfrmSQLInfo& d = dialog();
    fill({"10", "1", "2", "3"}, "1433");
    d.EnableAdminLogin(false);
    sql.connectErrorByCatalog[""] = "Login failed for user 'sa'";
    backend.answers.push_back(ui::Answer::Yes);
    d.pressEnter();

    ASSERT_EQ(backend.boxes.size(), 2u);
    const ui::Box& box = backend.boxes[1].box;
    EXPECT_EQ(box.text, "Microsoft SQL Server connection failed. Login failed for user 'sa'." + kRetry);
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.icon, ui::Icon::Error);
    EXPECT_EQ(labels(), (std::vector<std::string>{"Connecting", "Failed"}));
    EXPECT_EQ(positions(), (std::vector<int>{25, 0}));
    EXPECT_TRUE(d.ProgressBar.visible());
    EXPECT_EQ(backend.cursors, (std::vector<ui::Cursor>{ui::Cursor::SqlWait, ui::Cursor::Default}));
    EXPECT_TRUE(d.edtSQLLogin.enabled());
    EXPECT_TRUE(d.edtSQLPassword.enabled());
    EXPECT_EQ(d.edtSQLPassword.color(), ui::Color::Window);
    EXPECT_EQ(d.modalResult(), ui::ModalResult::None);
    EXPECT_FALSE(kitFileWritten());
    EXPECT_EQ(sql.connects.size(), 1u);
}

TEST_F(OkTest, AServerMessageEndingInAFullStopGetsNoSecondOne)
{
    fill({"10", "1", "2", "3"}, "1433");
    sql.connectErrorByCatalog[""] = "[FreeTDS][SQL Server]Unable to connect to data source.";
    backend.answers.push_back(ui::Answer::Yes);
    dialog().pressEnter();
    ASSERT_EQ(backend.boxes.size(), 2u);
    EXPECT_EQ(backend.boxes[1].box.text,
              "Microsoft SQL Server connection failed. [FreeTDS][SQL Server]Unable to connect to data source." +
                  kRetry);
}

TEST_F(OkTest, AFailedEditionQueryFailsTheTest)
{
    fill({"10", "1", "2", "3"}, "1433");
    sql.editionError = "Query timeout expired";
    backend.answers.push_back(ui::Answer::Yes);
    dialog().pressEnter();
    ASSERT_EQ(backend.boxes.size(), 2u);
    EXPECT_EQ(backend.boxes[1].box.text, "Microsoft SQL Server connection failed. Query timeout expired." + kRetry);
    EXPECT_EQ(positions(), (std::vector<int>{25, 50, 0}));
    EXPECT_EQ(sql.catalogs(), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(sql.openConnections, 0);
    EXPECT_EQ(backend.cursors.back(), ui::Cursor::Default);
    EXPECT_FALSE(kitFileWritten());
}

// Mended: the connection to master used to be allowed to fail, and the settings were
// saved although the setup run could not use them.
TEST_F(OkTest, AFailedConnectionToMasterFailsTheTest)
{
    TfrmSQLInfo& d = dialog();
    fill({"10", "1", "2", "3"}, "1433");
    sql.connectErrorByCatalog["master"] = "Cannot open database \"master\" requested by the login";
    backend.answers.push_back(ui::Answer::Yes);
    d.pressEnter();
    ASSERT_EQ(backend.boxes.size(), 2u);
    EXPECT_EQ(backend.boxes[1].box.text,
              "Microsoft SQL Server connection failed. Cannot open database \"master\" requested by the login." +
                  kRetry);
    EXPECT_EQ(labels(), (std::vector<std::string>{"Connecting", "Failed"}));
    EXPECT_EQ(positions().back(), 0);
    EXPECT_EQ(d.modalResult(), ui::ModalResult::None);
    EXPECT_FALSE(kitFileWritten());
    EXPECT_EQ(sql.openConnections, 0);
}

// Mended: a login or password whose scrambled form the settings file cannot hold used to
// be saved and read back as a different text.
TEST_F(OkTest, ACredentialTheFileCannotHoldIsRefusedBeforeAnythingHappens)
{
    TfrmSQLInfo& d = dialog();
    struct Case {
        std::string login, password, field, focus;
    };
    const Case cases[] = {
        {"sa", "<secret", "Password", "edtSQLPassword"},
        {"sa", "secret<", "Password", "edtSQLPassword"},
        {">sa>", "secret", "Login", "edtSQLLogin"},
        {"sa", ";secret;", "Password", "edtSQLPassword"},
        {"sa",
         "se\x11"
         "cret",
         "Password", "edtSQLPassword"},
    };
    for (const Case& c : cases) {
        fill({"10", "1", "2", "3"}, "1433", c.login, c.password);
        d.edtSQLIP1.setFocus();
        d.EnableAdminLogin(false);
        forgetRecords();
        d.pressEnter();
        ASSERT_EQ(backend.boxes.size(), 1u) << c.password;
        EXPECT_EQ(backend.boxes[0].box.caption, "Error");
        EXPECT_EQ(backend.boxes[0].box.icon, ui::Icon::Error);
        EXPECT_EQ(
            backend.boxes[0].box.text,
            "The " + c.field +
                " cannot be saved exactly as typed. It must not begin or end with \"<\" or with "
                "the control character 6, 16, 21 or 23, must not begin and end with \">\", nor begin and end with "
                "\";\" (either alone is fine), must not contain the control character 17, 22 or 28, and must not "
                "be longer than 2047 characters. Please re-enter.");
        EXPECT_TRUE(d.edtSQLLogin.enabled()) << "unlocked so it can be corrected";
        EXPECT_EQ(focusedName(), c.focus);
        EXPECT_EQ(d.edtSQLPassword.text(), c.password) << "nothing typed is lost";
        EXPECT_TRUE(sql.connects.empty());
        EXPECT_FALSE(kitFileWritten());
        EXPECT_EQ(d.modalResult(), ui::ModalResult::None);
    }
}

TEST_F(OkTest, ACredentialWithAnAwkwardCharacterInsideIsSavedFaithfully)
{
    fill({"10", "1", "2", "3"}, "1433", "<sa>", "a<b>c;d\"");
    backend.answers.push_back(ui::Answer::Yes);
    // The login's leading "<" would come back without it; the password is fine.
    dialog().pressEnter();
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].box.text.rfind("The Login", 0), 0u);

    fill({"10", "1", "2", "3"}, "1433", "s<a", "a<b>c;d\"");
    backend.answers.push_back(ui::Answer::Yes);
    dialog().pressEnter();
    EXPECT_EQ(dialog().modalResult(), ui::ModalResult::Ok);
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "User"), "s<a");
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "Password"), "a<b>c;d\"");
}

// Mended: a failed save used to leave the dialog showing "Success".
TEST_F(OkTest, AFailedSaveIsShownAndKeepsTheDialogOpen)
{
    TfrmSQLInfo& d = dialog();
    system.windowsDir = tmp / "missing";  // no kit folder there
    fill({"10", "1", "2", "3"}, "1433");
    backend.answers.push_back(ui::Answer::Yes);
    d.pressEnter();

    ASSERT_EQ(backend.boxes.size(), 2u);
    const ui::Box& box = backend.boxes[1].box;
    const std::string file = tmp / "missing/MigKit4/Orvo4.dat";
    // The fixed line, the system's reason, and what it means.
    const std::string first = "Unable to write to " + file + "\r\n",
                      last = "\r\nThe SQL Server information has not been saved.";
    ASSERT_GT(box.text.size(), first.size() + last.size());
    EXPECT_EQ(box.text.substr(0, first.size()), first);
    EXPECT_EQ(box.text.substr(box.text.size() - last.size()), last);
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.icon, ui::Icon::Error);
    EXPECT_EQ(labels(), (std::vector<std::string>{"Connecting", "Failed"}));
    EXPECT_EQ(positions().back(), 0);
    EXPECT_EQ(d.modalResult(), ui::ModalResult::None);
    EXPECT_EQ(sql.catalogs().size(), 3u) << "the test itself passed";
    EXPECT_FALSE(std::filesystem::exists(tmp / "missing"));
}

// Whoever reads the kit data file at any moment (a run after a kill, say) finds the four
// settings of one save, never some of one and some of another, nor an empty file.
TEST_F(OkTest, EverySaveIsSeenWholeOrNotAtAll)
{
    writeKitScrambled("User", "even");
    writeKitScrambled("Port", "2433");
    std::atomic<bool> saving{true};
    std::set<std::string> seen;  // user and port read from one look at the file
    std::thread reader([&] {
        while (saving) {
            std::ifstream in(kitFile(), std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            const auto value = [&](const char* key) {
                return setupdata::ScrambleText(formats::ini::readValue(text, "DB", key, ""));
            };
            if (in) seen.insert(value("User") + "/" + value("Port"));
        }
    });
    for (int i = 1; i <= 30; ++i) {
        fill({"10", "1", "2", "3"}, i % 2 ? "1433" : "2433", i % 2 ? "odd" : "even");
        backend.answers.push_back(ui::Answer::Yes);
        dialog().pressEnter();
    }
    saving = false;
    reader.join();
    EXPECT_THAT(seen, ::testing::IsSubsetOf({"even/2433", "odd/1433"}));
}

TEST_F(OkTest, ClickingOkChecksTheFieldBeingLeftFirst)
{
    TfrmSQLInfo& d = dialog();
    fill({"10", "1", "2", "3"}, "1433");
    d.edtIPPortNo.setFocus();
    d.edtIPPortNo.setText("0");
    d.clickButton(d.btnOK);
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].box.caption, "Warning") << "the port field's own check, not the OK button's";
    EXPECT_EQ(focusedName(), "edtIPPortNo");
}

TEST_F(DialogTest, AModalShowingEndsWithOkAfterTheSettingsAreSaved)
{
    backend.answers.push_back(ui::Answer::Yes);
    backend.dialogScripts.push_back([this](ui::Form&) {
        TfrmSQLInfo& d = *dlg;
        d.edtSQLIP1.setFocus();
        typeHere("192168001020");  // every third digit moves on; the last reaches the port
        typeHere("1433");
        d.edtSQLPassword.setFocus();
        typeHere("pw");
        d.clickButton(d.btnOK);
    });
    EXPECT_EQ(dialog().showModal(), ui::ModalResult::Ok);
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "IP address"), "192.168.001.020");
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "Port"), "1433");
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "Password"), "pw");

    backend.dialogScripts.push_back([](ui::Form& f) { f.pressEscape(); });
    EXPECT_EQ(dialog().showModal(), ui::ModalResult::Cancel);
}

}  // namespace
}  // namespace talvorin::sqlinfo::testing
