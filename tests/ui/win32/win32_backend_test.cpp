// The Windows front end's own rules, with real windows under a real message loop: the
// widget timers inside the system's modal loops, the boxes as the system draws them,
// modal showing, and the unattended mode.
#include "ui/win32/win32_backend.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/temp_dir.h"
#include "support/win32/window_driver.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/timer.h"

namespace talvorin::ui {
namespace {

namespace person = testing::win32;
using namespace std::chrono_literals;

class SmallDialog : public Form {
public:
    explicit SmallDialog(Backend& b) : Form(b, "frmSmall", "Small dialog")
    {
        clientSize = {200, 80};
        borderStyle = BorderStyle::Dialog;
        field.setBounds({10, 10, 100, 21});
        btnOK.setBounds({10, 45, 75, 25});
        btnCancel.setBounds({100, 45, 75, 25});
        btnOK.isDefault = true;
        btnOK.modalResult = ModalResult::Ok;
        btnCancel.isCancel = true;
        btnCancel.modalResult = ModalResult::Cancel;
    }
    Edit field{*this, "field"};
    Button btnOK{*this, "btnOK", "OK"};
    Button btnCancel{*this, "btnCancel", "Cancel"};

protected:
    void FormShow() override
    {
        centreOnScreen();
        field.setFocus();
    }
};

class MainForm : public Form {
public:
    explicit MainForm(Backend& b) : Form(b, "frmMain", "Main window") { clientSize = {300, 60}; }
    Label status{*this, "status", "Working"};
};

class ComApartment {
public:
    ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { ::CoUninitialize(); }
};

TEST(Win32Backend, WidgetTimersKeepFiringInsideTheSystemsBoxesAndFolderChooser)
{
    const ComApartment com;
    Win32Backend ui(Win32Backend::Mode::Attended);
    Timer timer(ui, "Timer1", 50);
    std::atomic<int> ticks{0};
    timer.onTimer = [&] { ++ticks; };
    timer.setEnabled(true);
    // A few ticks while the box is open, counted from when it is there.
    const auto ticksWhileOpen = [&](HWND open) {
        const int before = ticks;
        EXPECT_TRUE(person::waitUntil([&] { return ticks >= before + 3; })) << "the timer stood still";
        person::bringToFront(open);
    };

    person::withPerson([&] { EXPECT_EQ(ui.messageBox(Box::information("Waiting")), Answer::Ok); },
                       [&] {
                           const auto box = person::waitForMessageBox();
                           ticksWhileOpen(box.window);
                           person::answerBox(box, VK_RETURN);
                       });
    person::withPerson([&] { EXPECT_EQ(ui.browseForFolder("Pick a folder"), std::nullopt); },
                       [&] {
                           const HWND chooser = person::waitForTopWindow("#32770", "");
                           ticksWhileOpen(chooser);
                           person::pressKey(VK_ESCAPE);
                       });
}

TEST(Win32Backend, BoxesShowTheirCaptionTextIconAndButtonsAndAnswerEnterAndEscape)
{
    Win32Backend ui(Win32Backend::Mode::Attended);
    struct Case {
        Box box;
        LPCSTR icon;
        std::vector<std::string> buttons;
        WORD key;
        Answer answer;
    };
    const std::vector<Case> cases = {
        {Box::warning("Again?\n\rSay so.", Buttons::YesNo), IDI_WARNING, {"&Yes", "&No"}, VK_ESCAPE, Answer::No},
        {Box::warning("Again?", Buttons::YesNo), IDI_WARNING, {"&Yes", "&No"}, VK_RETURN, Answer::Yes},
        {Box::confirm("Sure?\rReally."), IDI_QUESTION, {"&Yes", "&No"}, VK_ESCAPE, Answer::No},
        {Box::warning("Out of range"), IDI_WARNING, {"OK"}, VK_ESCAPE, Answer::Ok},
        {Box::error("Failed.\r\nTry again."), IDI_ERROR, {"OK"}, VK_RETURN, Answer::Ok},
        {Box::information("Help\n\r- text"), IDI_INFORMATION, {"OK"}, VK_ESCAPE, Answer::Ok},
        {Box::applicationError("'' is not a valid integer value"), IDI_ERROR, {"OK"}, VK_RETURN, Answer::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box.caption + ": " + c.box.text);
        Answer answer{};
        person::withPerson([&] { answer = ui.messageBox(c.box); },
                           [&] {
                               const auto seen = person::waitForMessageBox();
                               EXPECT_EQ(seen.caption, c.box.caption);
                               EXPECT_EQ(seen.text, c.box.text) << "the text with its own line breaks";
                               EXPECT_EQ(seen.buttons, c.buttons);
                               EXPECT_EQ(seen.icon, person::systemIcon(c.icon));
                               person::answerBox(seen, c.key);
                           });
        EXPECT_EQ(answer, c.answer);
    }
}

TEST(Win32Backend, AModalFormDisablesTheOthersAndItsCloseBoxAnswersCancel)
{
    Win32Backend ui(Win32Backend::Mode::Attended);
    MainForm main(ui);
    main.show();
    SmallDialog dialog(ui);
    const HWND mainWindow = ui.windowOf(main);
    ASSERT_NE(mainWindow, nullptr);
    EXPECT_EQ(ui.mainWindow(), mainWindow);

    for (const bool byEscape : {false, true}) {
        ModalResult result = ModalResult::None;
        person::withPerson([&] { result = dialog.showModal(); },
                           [&] {
                               const HWND top = person::waitForTopWindow("TfrmSmall", "Small dialog");
                               EXPECT_EQ(::GetWindow(top, GW_OWNER), mainWindow);
                               EXPECT_FALSE(person::enabled(mainWindow)) << "the owner is disabled";
                               person::bringToFront(top);
                               if (byEscape) {
                                   person::pressKey(VK_ESCAPE);
                               } else {
                                   // Alt+F4: what the close box does.
                                   ::PostMessageA(top, WM_SYSCOMMAND, SC_CLOSE, 0);
                               }
                               EXPECT_TRUE(person::waitUntilGone(top));
                           });
        EXPECT_EQ(result, ModalResult::Cancel);
        EXPECT_TRUE(person::enabled(mainWindow)) << "the owner is enabled again";
    }
}

TEST(Win32Backend, AFailureNoHandlerCaughtIsShownInTheGeneralErrorBoxAndEndsOnlyThatHandler)
{
    Win32Backend ui(Win32Backend::Mode::Attended);
    SmallDialog dialog(ui);
    Timer timer(ui, "failing", 50);
    int ranToTheEnd = 0;
    const auto fail = [](const char* what) { throw std::runtime_error(what); };
    timer.onTimer = [&] {
        timer.setEnabled(false);
        fail("timed out");
        ++ranToTheEnd;
    };
    dialog.btnOK.modalResult = ModalResult::None;
    dialog.btnOK.onClick = [&] {
        fail("clicked");
        ++ranToTheEnd;
    };
    ModalResult result = ModalResult::None;
    person::withPerson(
        [&] {
            timer.setEnabled(true);
            result = dialog.showModal();
        },
        [&] {
            const HWND top = person::waitForTopWindow("TfrmSmall", "Small dialog");
            for (const std::string text : {"timed out", "clicked"}) {
                if (text == "clicked") person::click(person::control(top, "btnOK"));
                const auto box = person::waitForMessageBox();
                EXPECT_EQ(box.caption, programTitle());
                EXPECT_EQ(box.text, text);
                EXPECT_EQ(box.icon, person::systemIcon(IDI_ERROR));
                EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
                person::answerBox(box, VK_RETURN);
            }
            person::bringToFront(top);
            person::pressKey(VK_ESCAPE);
            EXPECT_TRUE(person::waitUntilGone(top));
        });
    EXPECT_EQ(result, ModalResult::Cancel) << "the dialog went on after both failures";
    EXPECT_EQ(ranToTheEnd, 0);
}

TEST(Win32Backend, UnattendedNothingIsDrawnAndBoxesGoToStandardErrorAnsweredAsEscape)
{
    testing::TempDir dir;
    const std::string file = dir.str() + "\\stderr.txt";
    const HANDLE saved = ::GetStdHandle(STD_ERROR_HANDLE);
    const HANDLE captured = ::CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0,
                                          nullptr);
    ASSERT_NE(captured, INVALID_HANDLE_VALUE);
    ::SetStdHandle(STD_ERROR_HANDLE, captured);
    {
        Win32Backend ui(Win32Backend::Mode::Unattended);
        EXPECT_FALSE(ui.attended());
        SmallDialog dialog(ui);
        EXPECT_EQ(dialog.showModal(), ModalResult::Cancel);
        EXPECT_EQ(ui.windowOf(dialog), nullptr);
        EXPECT_EQ(ui.messageBox(Box::warning("Again?\n\rSay so.", Buttons::YesNo)), Answer::No);
        EXPECT_EQ(ui.messageBox(Box::error("Failed.")), Answer::Ok);
        EXPECT_EQ(ui.browseForFolder("Pick"), std::nullopt);
    }
    ::SetStdHandle(STD_ERROR_HANDLE, saved);
    ::CloseHandle(captured);
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "[Small dialog] Not shown (unattended: no window can be shown); it ends as Cancel\r\n"
                          "[Warning] Again?\r\nSay so.\r\n[Warning] Answer: No (unattended: no window can be shown)\r\n"
                          "[Error] Failed.\r\n");
}

}  // namespace
}  // namespace talvorin::ui
