// The "SQL Server Information" dialog as a real window: found, read and driven from a second
// thread as a person at the keyboard and mouse would, through the system's own controls.
#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <functional>

#include "sqlinfo/sqlinfo_fixture.h"
#include "support/win32/window_driver.h"
#include "ui/win32/win32_backend.h"

#include <commctrl.h>

#include "platform/scope_exit.h"

namespace talvorin::sqlinfo::testing {
namespace {

namespace person = talvorin::testing::win32;
using namespace std::chrono_literals;

constexpr COLORREF kBlue = RGB(0, 0, 255);

// The shell's folder chooser needs COM on the window thread.
class ComApartment {
public:
    ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { ::CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

class WindowTest : public DialogFixture<ui::Win32Backend> {
protected:
    void SetUp() override { ASSERT_TRUE(backend.attended()) << "these tests need a desktop"; }

    // Shows the dialog modally while the person acts on its window; the dialog's result.
    ui::ModalResult showWith(const std::function<void(HWND)>& act)
    {
        ui::ModalResult result = ui::ModalResult::None;
        person::withPerson([&] { result = dialog().showModal(); },
                           [&] {
                               const HWND top = person::waitForTopWindow("TfrmSQLInfo", "SQL Server Information");
                               person::bringToFront(top);
                               act(top);
                           });
        return result;
    }

    static bool focusIn(HWND top, const char* name)
    {
        return person::waitUntil([&] { return person::focusOf(top) == person::control(top, name); });
    }
    static bool textIs(HWND top, const char* name, const std::string& text)
    {
        return person::waitUntil([&] { return person::textOf(person::control(top, name)) == text; });
    }
    static LOGFONTA fontOf(HWND window)
    {
        LOGFONTA lf{};
        ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(window, WM_GETFONT, 0, 0)), sizeof lf, &lf);
        return lf;
    }
    static std::string dialogFace()
    {
        NONCLIENTMETRICSA metrics{};
        metrics.cbSize = sizeof metrics;
        ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        return metrics.lfMessageFont.lfFaceName;
    }
};

// The item below `parent` in a tree whose text holds `part`, the parent expanded first.
HTREEITEM childContaining(HWND tree, HTREEITEM parent, const std::string& part)
{
    TreeView_Expand(tree, parent, TVE_EXPAND);
    for (HTREEITEM item = TreeView_GetChild(tree, parent); item != nullptr;
         item = TreeView_GetNextSibling(tree, item)) {
        char text[MAX_PATH] = {};
        TVITEMA tv{};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = sizeof text;
        ::SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
        if (std::string(text).find(part) != std::string::npos) return item;
    }
    return nullptr;
}

// The shell's folder chooser once it is built: its tree is there and filled.
std::pair<HWND, HWND> waitForChooser()
{
    const HWND chooser = person::waitForTopWindow("#32770", "");
    HWND tree = nullptr;
    person::waitUntil([&] {
        for (const HWND child : person::children(chooser))
            if (person::classOf(child) == WC_TREEVIEWA) tree = child;
        return tree != nullptr && TreeView_GetRoot(tree) != nullptr;
    });
    return {chooser, tree};
}

TEST_F(WindowTest, LooksAsDescribed)
{
    writeKit("OPTIONS", "InstallMode", "2");
    writeKitScrambled("IP address", "192.168.1.20");
    writeKitScrambled("Port", "1433");
    EXPECT_EQ(showWith([](HWND top) {
                  EXPECT_EQ(person::classOf(top), "TfrmSQLInfo");
                  const SIZE client = person::clientSize(top);
                  EXPECT_EQ(client.cx, 378);
                  EXPECT_EQ(client.cy, 377);
                  // A dialog frame with a close box only.
                  const LONG style = person::styleOf(top);
                  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
                  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
                  EXPECT_NE(person::exStyleOf(top) & WS_EX_DLGMODALFRAME, 0);
                  const RECT frame = person::rectIn(top, nullptr);
                  EXPECT_EQ(frame.left, (::GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
                  EXPECT_EQ(frame.top, (::GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2);

                  struct Expected {
                      const char* name;
                      const char* windowClass;
                      const char* text;
                      const char* group;  // the frame it lies in; null: none
                  };
                  const Expected controls[] = {
                      {"grpAppPath", "Button", "Application Path", nullptr},
                      {"edtAppPath", "Edit", "", "grpAppPath"},
                      {"lbBrowse", "Static", "Browse", "grpAppPath"},
                      {"SpeedButton1", "TalvorinSpeedButton", "?", "grpAppPath"},
                      {"grpDatabaseServer", "Button", "Database Server", nullptr},
                      {"lbIPAddress", "Static", "IP Address:", "grpDatabaseServer"},
                      {"Shape1", "TalvorinShape", "", "grpDatabaseServer"},
                      {"edtSQLIP1", "Edit", "192", "grpDatabaseServer"},
                      {"edtIP1dot", "Edit", ".", "grpDatabaseServer"},
                      {"edtSQLIP2", "Edit", "168", "grpDatabaseServer"},
                      {"edtIP2dot", "Edit", ".", "grpDatabaseServer"},
                      {"edtSQLIP3", "Edit", "1", "grpDatabaseServer"},
                      {"edtIP3dot", "Edit", ".", "grpDatabaseServer"},
                      {"edtSQLIP4", "Edit", "20", "grpDatabaseServer"},
                      {"SpeedButton2", "TalvorinSpeedButton", "?", "grpDatabaseServer"},
                      {"lbPortNo", "Static", "Port Number:", "grpDatabaseServer"},
                      {"edtIPPortNo", "Edit", "1433", "grpDatabaseServer"},
                      {"SpeedButton3", "TalvorinSpeedButton", "?", "grpDatabaseServer"},
                      {"grpAdministrator", "Button", "Administrator", nullptr},
                      {"lbLogin", "Static", "Login:", "grpAdministrator"},
                      {"edtSQLLogin", "Edit", "sa", "grpAdministrator"},
                      {"lbNewSQLPassword", "Static", "Password:", "grpAdministrator"},
                      {"edtSQLPassword", "Edit", "", "grpAdministrator"},
                      {"btnOK", "Button", "OK", nullptr},
                      {"btnCancel", "Button", "Cancel", nullptr},
                      {"grpConnectionStatus", "Button", "Connection Status", nullptr},
                      {"ProgressBar", "msctls_progress32", "", "grpConnectionStatus"},
                      {"Label1", "Static", "", "grpConnectionStatus"},
                  };
                  int previousGroupBottom = 0;
                  for (const Expected& e : controls) {
                      SCOPED_TRACE(e.name);
                      const HWND h = person::control(top, e.name);
                      EXPECT_EQ(person::classOf(h), e.windowClass);
                      EXPECT_EQ(person::textOf(h), e.text);
                      const RECT r = person::rectIn(h, top);
                      EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.cx && r.bottom <= client.cy);
                      if (e.group != nullptr) {
                          const RECT g = person::rectIn(person::control(top, e.group), top);
                          EXPECT_TRUE(r.left > g.left && r.top > g.top && r.right < g.right && r.bottom < g.bottom)
                              << "outside its frame";
                      } else if (person::classOf(h) == "Button" && std::string(e.name).starts_with("grp")) {
                          EXPECT_GE(r.top, previousGroupBottom) << "the frames lie top to bottom";
                          previousGroupBottom = r.bottom;
                      }
                  }

                  // The address: four borderless octet fields with their dots inside Shape1, each
                  // field where its length puts it.
                  const HWND group = person::control(top, "grpDatabaseServer");
                  const RECT shape = person::rectIn(person::control(top, "Shape1"), group);
                  const char* octets[] = {"edtSQLIP1", "edtSQLIP2", "edtSQLIP3", "edtSQLIP4"};
                  const int widths[] = {22, 22, 12, 22};  // 192, 168, 1, 20
                  for (int k = 1; k <= 4; ++k) {
                      SCOPED_TRACE(octets[k - 1]);
                      const HWND h = person::control(top, octets[k - 1]);
                      const RECT r = person::rectIn(h, group);
                      EXPECT_EQ(r.right - r.left, widths[k - 1]);
                      EXPECT_EQ(r.left, (widths[k - 1] == 12 ? 11 : 4) + 32 * (k - 1));
                      EXPECT_TRUE(r.left > shape.left && r.right < shape.right && r.top > shape.top &&
                                  r.bottom < shape.bottom);
                      EXPECT_EQ(person::exStyleOf(h) & WS_EX_CLIENTEDGE, 0) << "no border of its own";
                      EXPECT_NE(person::styleOf(h) & ES_UPPERCASE, 0);
                      EXPECT_EQ(::SendMessageA(h, EM_GETLIMITTEXT, 0, 0), 3);
                      EXPECT_EQ((person::styleOf(h) & WS_TABSTOP) != 0, k == 1);
                  }
                  for (const char* dot : {"edtIP1dot", "edtIP2dot", "edtIP3dot"}) {
                      const HWND h = person::control(top, dot);
                      EXPECT_NE(person::styleOf(h) & ES_READONLY, 0) << dot;
                      EXPECT_EQ(person::styleOf(h) & WS_TABSTOP, 0) << dot;
                      EXPECT_EQ(person::pixelAt(h, 0, 0), ::GetSysColor(COLOR_WINDOW)) << dot << ": unlocked";
                  }
                  const HWND password = person::control(top, "edtSQLPassword");
                  EXPECT_NE(person::styleOf(password) & ES_PASSWORD, 0);
                  EXPECT_EQ(::SendMessageA(password, EM_GETPASSWORDCHAR, 0, 0), '*');
                  EXPECT_EQ(person::styleOf(person::control(top, "btnOK")) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
                  EXPECT_FALSE(person::visible(person::control(top, "ProgressBar")));

                  // Help buttons right of their fields; Browse left of the path; OK and Cancel side by
                  // side at the bottom right.
                  const auto rect = [&](const char* name) { return person::rectIn(person::control(top, name), top); };
                  EXPECT_GE(rect("SpeedButton1").left, rect("edtAppPath").right);
                  EXPECT_GE(rect("SpeedButton2").left, rect("Shape1").right);
                  EXPECT_GE(rect("SpeedButton3").left, rect("edtIPPortNo").right);
                  EXPECT_LE(rect("lbBrowse").right, rect("edtAppPath").left);
                  EXPECT_LE(rect("btnOK").right, rect("btnCancel").left);
                  EXPECT_EQ(rect("btnOK").top, rect("btnCancel").top);
                  EXPECT_GE(rect("btnOK").top, rect("grpConnectionStatus").bottom);
                  EXPECT_GT(rect("btnCancel").right, client.cx - 16);

                  // The face, or the system's dialog face where it is missing; 8 points.
                  const HDC screen = ::GetDC(nullptr);
                  const LONG height = -::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
                  ::ReleaseDC(nullptr, screen);
                  for (const char* name : {"edtSQLIP1", "lbIPAddress", "btnOK", "SpeedButton2", "lbBrowse"}) {
                      const LOGFONTA lf = fontOf(person::control(top, name));
                      EXPECT_TRUE(std::string(lf.lfFaceName) == "MS Sans Serif" || lf.lfFaceName == dialogFace())
                          << name << ": " << lf.lfFaceName;
                      EXPECT_EQ(lf.lfHeight, height) << name;
                  }
                  for (const char* help : {"SpeedButton1", "SpeedButton2", "SpeedButton3"}) {
                      EXPECT_GE(fontOf(person::control(top, help)).lfWeight, FW_BOLD) << help;
                      EXPECT_TRUE(person::showsColour(person::control(top, help), kBlue)) << help << ": blue text";
                  }
                  EXPECT_TRUE(fontOf(person::control(top, "lbBrowse")).lfUnderline);
                  EXPECT_TRUE(person::showsColour(person::control(top, "lbBrowse"), kBlue));
                  EXPECT_TRUE(focusIn(top, "edtAppPath")) << "InstallMode 2: the path first";

                  person::saveScreenshot(top, TALVORIN_SCREENSHOTS "/sql-server-information.png");
                  person::pressKey(VK_ESCAPE);
              }),
              ui::ModalResult::Cancel);
}

TEST_F(WindowTest, TypingKeepsDigitsAdvancesAndWidensAndTheArrowsWalkTheOctets)
{
    EXPECT_EQ(showWith([](HWND top) {
                  ASSERT_TRUE(focusIn(top, "edtSQLIP1")) << "no address: the first octet first";
                  const HWND group = person::control(top, "grpDatabaseServer");
                  const HWND ip1 = person::control(top, "edtSQLIP1");
                  person::typeText("1a.9");
                  ASSERT_TRUE(textIs(top, "edtSQLIP1", "19")) << "only digits pass, the full stop included";
                  EXPECT_EQ(person::rectIn(ip1, group).left, 4);
                  EXPECT_EQ(person::rectIn(ip1, group).right - person::rectIn(ip1, group).left, 22);
                  person::typeText("2");
                  EXPECT_TRUE(focusIn(top, "edtSQLIP2")) << "the third digit moves on";
                  person::typeText("168");
                  EXPECT_TRUE(focusIn(top, "edtSQLIP3"));
                  person::typeText("1");
                  ASSERT_TRUE(textIs(top, "edtSQLIP3", "1"));
                  person::pressKey(VK_RIGHT);
                  EXPECT_TRUE(focusIn(top, "edtSQLIP4")) << "Right at the end of the text";
                  person::pressKey(VK_RIGHT);
                  person::typeText("20");
                  EXPECT_TRUE(textIs(top, "edtSQLIP4", "20")) << "Right in the last octet goes nowhere";
                  person::pressKey(VK_HOME);
                  person::pressKey(VK_LEFT);
                  EXPECT_TRUE(focusIn(top, "edtSQLIP3")) << "Left at the start of the text";
                  // Backspace at the start stays in the field.
                  person::pressKey(VK_HOME);
                  person::typeText("\b7");
                  EXPECT_TRUE(textIs(top, "edtSQLIP3", "71"));
                  EXPECT_TRUE(focusIn(top, "edtSQLIP3"));

                  ASSERT_TRUE(person::clickThenWaitFor(ip1, [&] { return person::focusOf(top) == ip1; }));
                  person::pressKey(VK_TAB);
                  EXPECT_TRUE(focusIn(top, "edtIPPortNo")) << "Tab skips the other octets and the dots";
                  person::typeText("1433");  // an empty port cannot be left
                  ASSERT_TRUE(textIs(top, "edtIPPortNo", "1433"));
                  person::pressKey(VK_TAB);
                  EXPECT_TRUE(focusIn(top, "edtSQLLogin"));
                  person::pressKey(VK_TAB, true);
                  person::pressKey(VK_TAB, true);
                  EXPECT_TRUE(focusIn(top, "edtSQLIP1")) << "Shift+Tab walks back";
                  person::pressKey(VK_ESCAPE);
              }),
              ui::ModalResult::Cancel);
}

TEST_F(WindowTest, ExitChecksRunWhenTheFocusLeavesExceptTowardsCancel)
{
    EXPECT_EQ(
        showWith([](HWND top) {
            ASSERT_TRUE(focusIn(top, "edtSQLIP1"));
            person::typeText("256");
            auto box = person::waitForMessageBox();
            EXPECT_EQ(box.caption, "Error");
            EXPECT_EQ(box.text, "256 is not a valid entry. Please specify a value between 0 and 255 for this field.");
            EXPECT_EQ(box.icon, person::systemIcon(IDI_ERROR));
            person::answerBox(box, VK_RETURN);
            EXPECT_TRUE(focusIn(top, "edtSQLIP1")) << "the focus comes back";
            person::typeText("10");  // the text came back selected: typing replaces it
            ASSERT_TRUE(textIs(top, "edtSQLIP1", "10"));

            const HWND port = person::control(top, "edtIPPortNo");
            ASSERT_TRUE(person::clickThenWaitFor(port, [&] { return person::focusOf(top) == port; }));
            person::typeText("0");
            ASSERT_TRUE(textIs(top, "edtIPPortNo", "0"));
            person::pressKey(VK_TAB);
            box = person::waitForMessageBox();
            EXPECT_EQ(box.caption, "Warning");
            EXPECT_EQ(box.text, "0 is not a valid entry. Please specify a value between 1 and 65535 for this field.");
            person::answerBox(box, VK_ESCAPE);
            EXPECT_TRUE(focusIn(top, "edtIPPortNo"));
            // A click elsewhere runs the check too, and the click goes nowhere.
            ASSERT_TRUE(person::clickThenWaitFor(person::control(top, "btnOK"), person::messageBoxShown));
            box = person::waitForMessageBox();
            EXPECT_EQ(box.caption, "Warning");
            person::answerBox(box, VK_RETURN);
            EXPECT_TRUE(focusIn(top, "edtIPPortNo"));

            // Towards Cancel nothing is checked, and Cancel closes the dialog.
            EXPECT_TRUE(person::clickThenWaitFor(person::control(top, "btnCancel"),
                                                 [&] { return person::waitUntilGone(top, 0ms); }));
        }),
        ui::ModalResult::Cancel);
    EXPECT_TRUE(sql.connects.empty());
}

TEST_F(WindowTest, EnterInThePortFieldClicksOkWithoutThePortCheck)
{
    writeKitScrambled("IP address", "127.0.0.1");
    writeKitScrambled("User", "admin");
    writeKitScrambled("Password", "pw");
    EXPECT_EQ(showWith([](HWND top) {
                  ASSERT_TRUE(focusIn(top, "edtIPPortNo")) << "an address without a port: the port first";
                  person::pressKey(VK_RETURN);
                  auto box = person::waitForMessageBox();
                  EXPECT_EQ(box.caption, ui::programTitle()) << "the general error box";
                  EXPECT_EQ(box.text, "'' is not a valid integer value");
                  person::answerBox(box, VK_RETURN);

                  person::typeText("1433");
                  ASSERT_TRUE(textIs(top, "edtIPPortNo", "1433"));
                  person::pressKey(VK_RETURN);
                  box = person::waitForMessageBox();
                  EXPECT_EQ(box.caption, "Confirm");
                  EXPECT_EQ(box.icon, person::systemIcon(IDI_QUESTION));
                  EXPECT_EQ(box.buttons, (std::vector<std::string>{"&Yes", "&No"}));
                  person::answerBox(box, VK_ESCAPE);  // No: nothing happens

                  person::pressKey(VK_RETURN);
                  person::answerBox(person::waitForMessageBox(), VK_RETURN);  // Yes
                  EXPECT_TRUE(person::waitUntilGone(top)) << "tested, saved and closed";
              }),
              ui::ModalResult::Ok);
    EXPECT_EQ(sql.catalogs(), (std::vector<std::string>{"", "", "master"}));
    EXPECT_EQ(setupdata::ScrambleText(settings.readString(kitFile(), "DB", "Port", "")), "1433");
}

TEST_F(WindowTest, TheConnectionTestShowsTheDatabaseWaitCursor)
{
    // The test holds the thread: what the person sees is the cursor set when it began.
    class CursorWatchingServer : public FakeSqlServer {
    public:
        std::vector<HCURSOR> cursors;
        std::unique_ptr<setupdata::SqlConnection> connect(const setupdata::ConnectionSettings& s) override
        {
            cursors.push_back(::GetCursor());
            return FakeSqlServer::connect(s);
        }
    } server;
    writeKitScrambled("IP address", "127.0.0.1");
    writeKitScrambled("Port", "1433");
    TfrmSQLInfo watched(backend, SQLInfoServices{system, settings, registry, host, server});
    ui::ModalResult result = ui::ModalResult::None;
    person::withPerson([&] { result = watched.showModal(); },
                       [&] {
                           const HWND top = person::waitForTopWindow("TfrmSQLInfo", "SQL Server Information");
                           person::bringToFront(top);
                           ASSERT_TRUE(focusIn(top, "edtSQLPassword"));
                           person::pressKey(VK_RETURN);
                           person::answerBox(person::waitForMessageBox(), VK_RETURN);  // Yes
                           EXPECT_TRUE(person::waitUntilGone(top));
                       });
    EXPECT_EQ(result, ui::ModalResult::Ok);
    ASSERT_EQ(server.cursors.size(), 3u);
    for (HCURSOR c : server.cursors) EXPECT_EQ(c, ::LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_ARROW)) << "and the usual one after it";
}

TEST_F(WindowTest, APathCheckFillsAndLocksTheAddressAndTheHelpButtonsLeaveTheFocusAlone)
{
    writeKit("OPTIONS", "InstallMode", "2");
    const std::string app = tmp / "Orvo3";
    writeServerFile(app + "/Bin", "10.0.0.5", "1500");
    EXPECT_EQ(
        showWith([&](HWND top) {
            ASSERT_TRUE(focusIn(top, "edtAppPath"));
            const HWND browse = person::control(top, "lbBrowse");
            EXPECT_TRUE(person::enabled(browse));
            ::SetCursorPos(person::rectIn(browse, nullptr).left + 5, person::rectIn(browse, nullptr).top + 5);
            EXPECT_TRUE(person::waitUntil([] {
                CURSORINFO info{};
                info.cbSize = sizeof info;
                return ::GetCursorInfo(&info) && info.hCursor == ::LoadCursorA(nullptr, IDC_HAND);
            })) << "the link's hand";

            person::typeText(app);
            person::pressKey(VK_TAB);
            ASSERT_TRUE(focusIn(top, "edtSQLPassword")) << "checked, filled, on to the password";
            const char* fields[] = {"edtSQLIP1", "edtSQLIP2", "edtSQLIP3", "edtSQLIP4", "edtIPPortNo"};
            const char* values[] = {"10", "0", "0", "5", "1500"};
            for (int i = 0; i < 5; ++i) {
                EXPECT_EQ(person::textOf(person::control(top, fields[i])), values[i]);
                EXPECT_FALSE(person::enabled(person::control(top, fields[i]))) << fields[i] << " locked";
            }
            const COLORREF locked = ::GetSysColor(COLOR_BTNFACE);
            EXPECT_TRUE(
                person::waitUntil([&] { return person::pixelAt(person::control(top, "edtIP2dot"), 0, 0) == locked; }));
            EXPECT_EQ(person::pixelAt(person::control(top, "Shape1"), 3, 3), locked) << "the rectangle's fill";
            EXPECT_EQ(person::pixelAt(person::control(top, "edtIPPortNo"), 3, 3), locked);
            EXPECT_EQ(person::pixelAt(person::control(top, "edtSQLPassword"), 3, 3), ::GetSysColor(COLOR_WINDOW));

            ASSERT_TRUE(person::clickThenWaitFor(person::control(top, "SpeedButton3"), person::messageBoxShown));
            const auto help = person::waitForMessageBox();
            EXPECT_EQ(help.caption, "Information");
            EXPECT_EQ(help.text,
                      "To find the Port Number of the database server :\n\r- Insert Velmora Deluxe installation CD to "
                      "database server \n\r- Run Install.exe\n\r- Click <View database server settings> button");
            person::answerBox(help, VK_RETURN);
            EXPECT_TRUE(focusIn(top, "edtSQLPassword")) << "the help button took no focus";
            // Alt+F4, as the close box: Cancel.
            ::PostMessageA(top, WM_SYSCOMMAND, SC_CLOSE, 0);
        }),
        ui::ModalResult::Cancel);
}

TEST_F(WindowTest, BrowseOpensTheSystemsChooserOwnedByTheDialogAndChecksThePathAfterwards)
{
    writeKit("OPTIONS", "InstallMode", "2");
    const ComApartment com;
    // A folder the chooser's tree shows near its top.
    const std::string folderName = "TalvorinBrowse" + std::to_string(::GetCurrentProcessId());
    writeServerFile("C:\\" + folderName, "10.0.0.9", "1433");
    const auto removeFolder = platform::scopeExit([&] { std::filesystem::remove_all("C:\\" + folderName); });
    EXPECT_EQ(showWith([&](HWND top) {
                  ASSERT_TRUE(focusIn(top, "edtAppPath"));
                  person::typeText("C:\\nowhere");
                  ASSERT_TRUE(person::clickThenWaitFor(person::control(top, "lbBrowse"),
                                                       [] { return person::findTopWindow("#32770", "") != nullptr; }));
                  const auto [chooser, firstTree] = waitForChooser();
                  ASSERT_NE(firstTree, nullptr);
                  EXPECT_EQ(::GetWindow(chooser, GW_OWNER), top);
                  EXPECT_FALSE(person::enabled(top)) << "the dialog waits for the chooser";
                  const auto shown = person::children(chooser);
                  EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](HWND child) {
                      return person::textOf(child) == "Please select the application path of Orvo Deluxe";
                  }));
                  person::bringToFront(chooser);
                  person::pressKey(VK_ESCAPE);
                  // Cancelled: the path already there is checked again.
                  const auto box = person::waitForMessageBox();
                  EXPECT_EQ(box.caption, ui::programTitle());
                  EXPECT_EQ(box.text, "Invalid Application Path ! Please select again.");
                  person::answerBox(box, VK_RETURN);
                  EXPECT_TRUE(textIs(top, "edtAppPath", "C:\\nowhere")) << "the field keeps its text";

                  // Chosen in the tree: the path goes into the field and is checked.
                  ASSERT_TRUE(person::clickThenWaitFor(person::control(top, "lbBrowse"),
                                                       [] { return person::findTopWindow("#32770", "") != nullptr; }));
                  const auto [again, tree] = waitForChooser();
                  ASSERT_NE(tree, nullptr);
                  HTREEITEM item = TreeView_GetRoot(tree);  // the desktop
                  for (const std::string& part : {std::string("Computer"), std::string("C:"), folderName})
                      ASSERT_NE(item = childContaining(tree, item, part), nullptr) << part;
                  TreeView_SelectItem(tree, item);
                  person::bringToFront(again);
                  person::pressKey(VK_RETURN);
                  EXPECT_TRUE(textIs(top, "edtAppPath", "C:\\" + folderName));
                  EXPECT_TRUE(focusIn(top, "edtSQLPassword")) << "checked: on to the password";
                  EXPECT_EQ(person::textOf(person::control(top, "edtSQLIP4")), "9");
                  person::pressKey(VK_ESCAPE);
              }),
              ui::ModalResult::Cancel);
}

}  // namespace
}  // namespace talvorin::sqlinfo::testing
