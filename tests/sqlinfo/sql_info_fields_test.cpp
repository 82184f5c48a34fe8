// Typing into the fields, leaving them, the path check, browsing and the help buttons.
#include "sqlinfo_fixture.h"

namespace talvorin::sqlinfo::testing {
namespace {

const std::string kOctetRange = " is not a valid entry. Please specify a value between 0 and 255 for this field.";
const std::string kPortRange = " is not a valid entry. Please specify a value between 1 and 65535 for this field.";

class FieldsTest : public DialogTest {
protected:
    FieldsTest() { shown(); }
};

TEST_F(FieldsTest, OctetFieldsTakeDigitsAndBackspaceOnly)
{
    TfrmSQLInfo& d = dialog();
    d.edtSQLIP1.setFocus();
    typeHere("1a.-2 ");
    EXPECT_EQ(d.edtSQLIP1.text(), "12");
    EXPECT_EQ(focusedName(), "edtSQLIP1") << "a full stop does not move on";
    typeHere("\b");
    EXPECT_EQ(d.edtSQLIP1.text(), "1");

    d.edtIPPortNo.setFocus();
    typeHere("14x33.5\b");
    EXPECT_EQ(d.edtIPPortNo.text(), "1433");
    typeHere("1234567");
    EXPECT_EQ(d.edtIPPortNo.text(), "14331234567") << "the port field has no length limit";
}

TEST_F(FieldsTest, AThirdDigitMovesToTheNextField)
{
    TfrmSQLInfo& d = dialog();
    d.edtSQLIP1.setFocus();
    typeHere("19");
    EXPECT_EQ(focusedName(), "edtSQLIP1");
    typeHere("2");
    EXPECT_EQ(focusedName(), "edtSQLIP2");
    typeHere("168");
    EXPECT_EQ(focusedName(), "edtSQLIP3");
    typeHere("1");
    EXPECT_EQ(focusedName(), "edtSQLIP3");
    d.edtSQLIP4.setFocus();
    typeHere("200");
    EXPECT_EQ(focusedName(), "edtIPPortNo");
    typeHere("1433");
    EXPECT_EQ(d.edtSQLIP1.text(), "192");
    EXPECT_EQ(d.edtSQLIP2.text(), "168");
    EXPECT_EQ(d.edtSQLIP4.text(), "200");
    EXPECT_EQ(d.edtIPPortNo.text(), "1433");
    EXPECT_TRUE(backend.boxes.empty());
}

TEST_F(FieldsTest, OctetFieldsWidenForTheSecondDigit)
{
    TfrmSQLInfo& d = dialog();
    for (int k = 1; k <= 4; ++k) {
        ui::Edit& e = d.octet(k);
        e.setFocus();
        typeHere("1");
        EXPECT_EQ(e.bounds().left, 11 + 32 * (k - 1)) << k;
        EXPECT_EQ(e.bounds().width, 12) << k;
        typeHere("2");
        EXPECT_EQ(e.bounds().left, 4 + 32 * (k - 1)) << k;
        EXPECT_EQ(e.bounds().width, 22) << k;
        e.setFocus();
        typeHere("\b");
        EXPECT_EQ(e.bounds().width, 12) << k;
        EXPECT_EQ(e.selStart(), 1u) << "the caret stays where it was";
    }
}

TEST_F(FieldsTest, ArrowKeysWalkTheOctetsAtTheirEnds)
{
    TfrmSQLInfo& d = dialog();
    d.edtSQLIP1.setFocus();
    typeHere("12");
    d.edtSQLIP1.setSelStart(1);
    d.edtSQLIP1.pressKey(ui::Key::Right);  // caret at 1: moves the caret only
    EXPECT_EQ(focusedName(), "edtSQLIP1");
    d.edtSQLIP1.pressKey(ui::Key::Right);  // now at the end
    EXPECT_EQ(focusedName(), "edtSQLIP2");

    d.edtSQLIP2.pressKey(ui::Key::Left);  // empty field: caret at 0
    EXPECT_EQ(focusedName(), "edtSQLIP1");
    d.edtSQLIP1.setSelStart(0);
    d.edtSQLIP1.pressKey(ui::Key::Left);
    EXPECT_EQ(focusedName(), "edtSQLIP1") << "no field before the first";

    d.edtSQLIP4.setFocus();
    d.edtSQLIP4.pressKey(ui::Key::Right);
    EXPECT_EQ(focusedName(), "edtSQLIP4") << "no Right-arrow move from the last";
    d.edtSQLIP4.pressKey(ui::Key::Left);
    EXPECT_EQ(focusedName(), "edtSQLIP3");
    d.edtSQLIP3.pressKey(ui::Key::Up);
    EXPECT_EQ(focusedName(), "edtSQLIP3");
}

TEST_F(FieldsTest, LeavingAnOctetChecksItsRange)
{
    TfrmSQLInfo& d = dialog();
    d.edtSQLIP2.setFocus();
    typeHere("256");  // the third digit moves on, which runs the check
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].box.text, "256" + kOctetRange);
    EXPECT_EQ(backend.boxes[0].box.caption, "Error");
    EXPECT_EQ(backend.boxes[0].box.icon, ui::Icon::Error);
    EXPECT_EQ(backend.boxes[0].box.buttons, ui::Buttons::Ok);
    EXPECT_EQ(focusedName(), "edtSQLIP2");

    d.edtSQLIP2.setText("255");
    EXPECT_TRUE(d.edtSQLIP3.setFocus());
    d.edtSQLIP3.setText("0");
    EXPECT_TRUE(d.edtSQLIP4.setFocus());
    EXPECT_TRUE(d.edtSQLLogin.setFocus()) << "an empty octet passes";
    EXPECT_EQ(backend.boxes.size(), 1u);
}

TEST_F(FieldsTest, LeavingTheAddressForCancelChecksNothingAndCancelCloses)
{
    TfrmSQLInfo& d = dialog();
    d.edtSQLIP1.setText("9999");  // put in by the program, so no automatic move
    d.edtSQLIP1.setFocus();
    d.clickButton(d.btnCancel);
    EXPECT_TRUE(backend.boxes.empty());
    EXPECT_EQ(d.modalResult(), ui::ModalResult::Cancel);

    d.setModalResult(ui::ModalResult::None);
    d.edtIPPortNo.setText("");
    d.edtIPPortNo.setFocus();
    d.clickButton(d.btnCancel);
    EXPECT_TRUE(backend.boxes.empty());
    EXPECT_EQ(d.modalResult(), ui::ModalResult::Cancel);
    EXPECT_TRUE(sql.connects.empty());
}

TEST_F(FieldsTest, LeavingThePortChecksItsRange)
{
    TfrmSQLInfo& d = dialog();
    struct Case {
        std::string text;
        bool passes;
    };
    for (const Case& c : {Case{"1", true}, Case{"65535", true}, Case{"0", false}, Case{"65536", false}}) {
        backend.boxes.clear();
        d.edtIPPortNo.setFocus();
        d.edtIPPortNo.setText(c.text);
        const bool left = d.edtSQLLogin.setFocus();
        EXPECT_EQ(left, c.passes) << c.text;
        if (c.passes) {
            EXPECT_TRUE(backend.boxes.empty()) << c.text;
            continue;
        }
        ASSERT_EQ(backend.boxes.size(), 1u) << c.text;
        EXPECT_EQ(backend.boxes[0].box.text, c.text + kPortRange);
        EXPECT_EQ(backend.boxes[0].box.caption, "Warning");
        EXPECT_EQ(backend.boxes[0].box.icon, ui::Icon::Warning);
        EXPECT_EQ(focusedName(), "edtIPPortNo");
    }
}

TEST_F(FieldsTest, LeavingThePortWithoutANumberIsAnError)
{
    TfrmSQLInfo& d = dialog();
    for (const std::string text : {"", "99999999999"}) {
        backend.boxes.clear();
        d.edtIPPortNo.setFocus();
        d.edtIPPortNo.setText(text);
        EXPECT_FALSE(d.edtSQLPassword.setFocus()) << text;
        ASSERT_EQ(backend.boxes.size(), 1u);
        EXPECT_EQ(backend.boxes[0].box.text, "Invalid input for port number!");
        EXPECT_EQ(backend.boxes[0].box.caption, "Error");
        EXPECT_EQ(backend.boxes[0].box.icon, ui::Icon::Error);
        EXPECT_EQ(focusedName(), "edtIPPortNo");
    }
}

TEST_F(FieldsTest, HelpButtonsShowTheirTexts)
{
    TfrmSQLInfo& d = dialog();
    d.SpeedButton1.click();
    d.SpeedButton2.click();
    d.SpeedButton3.click();
    ASSERT_EQ(backend.boxes.size(), 3u);
    EXPECT_EQ(backend.boxes[0].box.text, "This is the directory when Velmora Deluxe is installed. (e.g. C:\\Orvo3)");
    EXPECT_EQ(backend.boxes[1].box.text,
              "This database server must have a fixed IP Address. To find the fixed IP Address of database server "
              ":\x0a\x0d- Insert Velmora Deluxe installation CD to database server \x0a\x0d- Run Install.exe\x0a\x0d- "
              "Click <View database server settings> button");
    EXPECT_EQ(backend.boxes[2].box.text,
              "To find the Port Number of the database server :\x0a\x0d- Insert Velmora Deluxe installation CD to "
              "database server \x0a\x0d- Run Install.exe\x0a\x0d- Click <View database server settings> button");
    for (const auto& shown : backend.boxes) {
        EXPECT_EQ(shown.box.caption, "Information");
        EXPECT_EQ(shown.box.icon, ui::Icon::Information);
        EXPECT_EQ(shown.box.buttons, ui::Buttons::Ok);
    }
}

// ---- The application path ------------------------------------------------------------

class PathTest : public DialogTest {
protected:
    PathTest()
    {
        writeKit("OPTIONS", "InstallMode", "2");
        shown();
        forgetRecords();
    }
    // Types the path into the field and leaves it for the password field.
    void enterPath(const std::string& path)
    {
        TfrmSQLInfo& d = dialog();
        d.edtAppPath.setFocus();
        d.edtAppPath.setText(path);
        d.edtSQLLogin.setFocus();
    }
};

TEST_F(PathTest, AFolderWithTheServerSettingsFillsAndLocksTheAddress)
{
    TfrmSQLInfo& d = dialog();
    writeServerFile(tmp / "Orvo3", "172.16.5.9", "1444");
    d.edtSQLLogin.setText("someone");
    d.edtSQLPassword.setText("pw");
    enterPath(tmp / "Orvo3");

    EXPECT_TRUE(backend.boxes.empty());
    EXPECT_EQ(d.edtSQLIP1.text(), "172");
    EXPECT_EQ(d.edtSQLIP2.text(), "16");
    EXPECT_EQ(d.edtSQLIP3.text(), "5");
    EXPECT_EQ(d.edtSQLIP4.text(), "9");
    EXPECT_EQ(d.edtIPPortNo.text(), "1444");
    EXPECT_EQ(d.edtSQLLogin.text(), "sa");
    EXPECT_EQ(d.edtSQLPassword.text(), "");
    EXPECT_FALSE(d.edtSQLIP1.enabled());
    EXPECT_FALSE(d.edtIPPortNo.enabled());
    EXPECT_EQ(d.Shape1.color(), ui::Color::ButtonFace);
    EXPECT_TRUE(d.edtSQLLogin.enabled());
    EXPECT_EQ(focusedName(), "edtSQLPassword");
}

TEST_F(PathTest, TheServerSettingsAreAlsoFoundInTheBinFolder)
{
    TfrmSQLInfo& d = dialog();
    writeServerFile(tmp / "Orvo3/bin", "10.0.0.1", "1433");  // any case, as on Windows
    enterPath(tmp / "Orvo3/");
    EXPECT_TRUE(backend.boxes.empty());
    EXPECT_EQ(d.edtSQLIP1.text(), "10");
    EXPECT_EQ(d.edtIPPortNo.text(), "1433");
}

TEST_F(PathTest, AFolderWithoutServerSettingsIsRefusedAndChangesNothing)
{
    TfrmSQLInfo& d = dialog();
    std::filesystem::create_directories(tmp / "Empty/Bin");
    d.edtSQLIP1.setText("10");
    d.edtIPPortNo.setText("1433");
    enterPath(tmp / "Empty");

    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].box.text, "Invalid Application Path ! Please select again.");
    EXPECT_EQ(backend.boxes[0].box.caption, ui::programTitle());
    EXPECT_EQ(backend.boxes[0].box.icon, ui::Icon::Error);
    EXPECT_EQ(d.edtSQLIP1.text(), "10");
    EXPECT_EQ(d.edtIPPortNo.text(), "1433");
    EXPECT_TRUE(d.edtSQLIP1.enabled());
    EXPECT_EQ(d.edtAppPath.text(), tmp / "Empty");
}

TEST_F(PathTest, ServerSettingsWithoutAnAddressKeepTheOctetsAndLockThem)
{
    TfrmSQLInfo& d = dialog();
    writeServerFile(tmp / "Orvo3", "", "");
    d.edtSQLIP1.setText("10");
    d.edtIPPortNo.setText("1433");
    d.edtSQLPassword.setText("pw");
    enterPath(tmp / "Orvo3");
    EXPECT_EQ(d.edtSQLIP1.text(), "10");
    EXPECT_EQ(d.edtIPPortNo.text(), "") << "the port comes from the file, also when empty";
    EXPECT_EQ(d.edtSQLPassword.text(), "pw");
    EXPECT_FALSE(d.edtSQLIP1.enabled());
    EXPECT_FALSE(d.edtIPPortNo.enabled());
}

TEST_F(PathTest, AnEmptyPathOrALeaveForCancelChecksNothing)
{
    TfrmSQLInfo& d = dialog();
    enterPath("");
    EXPECT_TRUE(backend.boxes.empty());
    EXPECT_TRUE(d.edtSQLIP1.enabled());

    d.edtAppPath.setFocus();
    d.edtAppPath.setText(tmp / "nowhere");
    d.clickButton(d.btnCancel);
    EXPECT_TRUE(backend.boxes.empty());
    EXPECT_EQ(d.modalResult(), ui::ModalResult::Cancel);
}

TEST_F(PathTest, BrowsingPutsTheChosenFolderInAndChecksIt)
{
    TfrmSQLInfo& d = dialog();
    // Three-digit octets move the focus while the fields fill.
    writeServerFile(tmp / "Chosen", "192.168.100.40", "1433");
    d.edtSQLLogin.setFocus();
    backend.folders.push_back(tmp / "Chosen");
    d.lbBrowse.click();

    ASSERT_EQ(backend.folderChooserTitles.size(), 1u);
    EXPECT_EQ(backend.folderChooserTitles[0], "Please select the application path of Orvo Deluxe");
    EXPECT_EQ(d.edtAppPath.text(), tmp / "Chosen");
    EXPECT_EQ(d.edtSQLIP4.text(), "40");
    EXPECT_FALSE(d.edtSQLIP1.enabled());
    EXPECT_EQ(focusedName(), "edtSQLPassword");
    EXPECT_TRUE(backend.boxes.empty());
}

TEST_F(PathTest, ACancelledBrowseChecksThePathAlreadyThere)
{
    TfrmSQLInfo& d = dialog();
    d.edtSQLLogin.setFocus();
    d.lbBrowse.click();  // empty path: nothing but the focus, which goes to the path first
    EXPECT_EQ(backend.folderChooserTitles.size(), 1u);
    EXPECT_TRUE(backend.boxes.empty());
    EXPECT_EQ(focusedName(), "edtAppPath");

    d.edtAppPath.setText(tmp / "nowhere");
    d.lbBrowse.click();
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].box.text, "Invalid Application Path ! Please select again.");
    EXPECT_EQ(d.edtAppPath.text(), tmp / "nowhere");
}

TEST_F(DialogTest, BrowsingDoesNothingWhileThePathIsLocked)
{
    TfrmSQLInfo& d = shown();
    ASSERT_FALSE(d.edtAppPath.enabled());
    d.lbBrowseClick();
    EXPECT_TRUE(backend.folderChooserTitles.empty());
    EXPECT_TRUE(backend.boxes.empty());
}

}  // namespace
}  // namespace talvorin::sqlinfo::testing
