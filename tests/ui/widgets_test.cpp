#include <gtest/gtest.h>

#include <stdexcept>


#include "ui/controls.h"
#include "ui/form.h"
#include "ui/memory_backend.h"
#include "ui/program_title.h"
#include "ui/timer.h"

namespace talvorin::ui {
namespace {

class FocusForm : public Form {
public:
    explicit FocusForm(Backend& b) : Form(b, "frm", "Test") {}
    Edit first{*this, "first"};
    Edit second{*this, "second"};
    Button btnOK{*this, "btnOK", "OK"};
    Button btnCancel{*this, "btnCancel", "Cancel"};
};

TEST(Focus, ExitHandlerRunsBeforeTheFocusArrivesAndKnowsTheTarget)
{
    MemoryBackend ui;
    FocusForm f(ui);
    ASSERT_TRUE(f.focus(f.first));
    Control* seenTarget = nullptr;
    f.first.onExit = [&] { seenTarget = f.focusTarget(); };
    EXPECT_TRUE(f.focus(f.btnCancel));
    EXPECT_EQ(seenTarget, &f.btnCancel);
    EXPECT_EQ(f.activeControl(), &f.btnCancel);
    EXPECT_EQ(f.focusTarget(), nullptr);
}

TEST(Focus, FailedCheckPutsTheFocusBack)
{
    MemoryBackend ui;
    FocusForm f(ui);
    f.focus(f.first);
    f.first.onExit = [&] { f.first.setFocus(); };
    EXPECT_FALSE(f.focus(f.second));
    EXPECT_EQ(f.activeControl(), &f.first);

    // A click on a button whose focus move was refused does not click.
    bool clicked = false;
    f.btnOK.onClick = [&] { clicked = true; };
    f.clickButton(f.btnOK);
    EXPECT_FALSE(clicked);
    // Enter clicks the default button without moving the focus, so no check runs.
    f.btnOK.isDefault = true;
    f.pressEnter();
    EXPECT_TRUE(clicked);
}

TEST(Focus, DisabledOrHiddenControlsTakeNoFocus)
{
    MemoryBackend ui;
    FocusForm f(ui);
    f.second.setEnabled(false);
    EXPECT_FALSE(f.focus(f.second));
    f.second.setEnabled(true);
    f.second.setVisible(false);
    EXPECT_FALSE(f.second.setFocus());
    EXPECT_EQ(f.activeControl(), nullptr);
}

TEST(Focus, AFieldWhoseCheckKeepsTheFocusIsToldItHasItAgain)
{
    // To a person the focus went and came back: a backend shows it arriving there again.
    MemoryBackend ui;
    FocusForm f(ui);
    f.focus(f.first);
    f.first.onExit = [&] { f.first.setFocus(); };
    EXPECT_FALSE(f.focus(f.second));
    ASSERT_EQ(ui.focusMoves.size(), 2u);
    EXPECT_EQ(ui.focusMoves[1].control, "first");
}

TEST(Keys, EnterClicksTheFocusedButtonElseTheDefaultOneAndShiftTabWalksBack)
{
    MemoryBackend ui;
    FocusForm f(ui);
    int ok = 0, cancel = 0;
    f.btnOK.isDefault = true;
    f.btnOK.onClick = [&] { ++ok; };
    f.btnCancel.onClick = [&] { ++cancel; };
    f.focus(f.first);
    f.pressEnter();
    EXPECT_EQ(ok, 1);
    f.focus(f.btnCancel);
    f.pressEnter();
    EXPECT_EQ(cancel, 1);
    EXPECT_EQ(ok, 1) << "a focused button takes Enter itself";

    f.focus(f.second);
    f.pressShiftTab();
    EXPECT_EQ(f.activeControl(), &f.first);
    f.pressShiftTab();
    EXPECT_EQ(f.activeControl(), &f.btnCancel) << "round to the last tab stop";
    f.pressTab();
    EXPECT_EQ(f.activeControl(), &f.first) << "and round to the first";
}

TEST(Forms, CentredOnTheScreenByHalvesTruncatedTowardZeroAndClosedByTheirCloseBoxAsCancel)
{
    struct Case {
        Size screen, client, frame;
        int left, top;
    };
    const Case cases[] = {
        {{1024, 768}, {378, 377}, {6, 25}, 320, 183},
        {{1025, 769}, {380, 380}, {0, 0}, 322, 194},  // 322.5 and 194.5
        {{300, 200}, {381, 211}, {0, 0}, -40, -5},    // larger than the screen: -40.5, -5.5
    };
    for (const Case& c : cases) {
        MemoryBackend ui;
        ui.screen = c.screen;
        ui.frame = c.frame;
        FocusForm f(ui);
        f.clientSize = c.client;
        f.centreOnScreen();
        EXPECT_EQ(f.left(), c.left) << c.screen.width;
        EXPECT_EQ(f.top(), c.top) << c.screen.height;
    }

    MemoryBackend ui;
    FocusForm f(ui);
    f.systemMenu = false;
    f.clickCloseBox();
    EXPECT_EQ(f.modalResult(), ModalResult::None) << "no system menu, no close box";
    f.systemMenu = true;
    f.clickCloseBox();
    EXPECT_EQ(f.modalResult(), ModalResult::Cancel);
}

TEST(Edit, TypingRunsTheKeyFilterLimitAndCase)
{
    MemoryBackend ui;
    FocusForm f(ui);
    f.first.maxLength = 3;
    f.first.upperCase = true;
    int changes = 0;
    f.first.onChange = [&] { ++changes; };
    f.first.onKeyPress = [](char& c) {
        if (c == '.') c = '\0';
    };
    f.first.type("a.bcd");
    EXPECT_EQ(f.first.text(), "ABC");
    EXPECT_EQ(changes, 3);
    f.first.type("\b");
    EXPECT_EQ(f.first.text(), "AB");
    f.first.setText("123456");  // the program's own text is not limited
    EXPECT_EQ(f.first.text(), "123456");
    EXPECT_EQ(f.first.selStart(), 0u);
    EXPECT_EQ(changes, 5);
}

TEST(Modal, ScriptDecidesAndAnUnsetResultIsCancel)
{
    MemoryBackend ui;
    FocusForm f(ui);
    f.btnCancel.modalResult = ModalResult::Cancel;
    f.btnCancel.isCancel = true;
    ui.dialogScripts.push_back([](Form& form) { form.setModalResult(ModalResult::Ok); });
    ui.dialogScripts.push_back([](Form&) {});
    ui.dialogScripts.push_back([](Form& form) { form.pressEscape(); });
    EXPECT_EQ(f.showModal(), ModalResult::Ok);
    EXPECT_EQ(f.showModal(), ModalResult::Cancel);
    EXPECT_EQ(f.showModal(), ModalResult::Cancel);
    EXPECT_EQ(f.showModal(), ModalResult::Cancel) << "no script left";
    EXPECT_EQ(ui.modalShowings.size(), 4u);
}

TEST(MessageBoxes, UnscriptedBoxesAreAnsweredAsEscapeWould)
{
    MemoryBackend ui;
    EXPECT_EQ(ui.messageBox(Box::warning("w", Buttons::YesNo)), Answer::No);
    EXPECT_EQ(ui.messageBox(Box::error("e")), Answer::Ok);
    ui.answers = {Answer::Yes};
    EXPECT_EQ(ui.messageBox(Box::confirm("c")), Answer::Yes);
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[2].box.caption, "Confirm");
    EXPECT_EQ(ui.boxes[2].box.icon, Icon::Question);
    EXPECT_EQ(Box::applicationError("x").caption, programTitle());
}

TEST(MessageBoxes, TheProgramsTitleIsItsFileNameUpToTheFirstFullStopLowerCaseAfterTheFirst)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Talvorin.exe", "Talvorin"},
        {"VDSETUP.EXE", "Vdsetup"},
        {"/opt/kit/talvorin", "talvorin"},
        {"SETUP.V2.EXE", "Setup"},
        {"MIG", "Mig"},
        {"kit/.exe", ""},
    };
    for (const auto& [file, title] : cases) EXPECT_EQ(titleOfProgramFile(file), title) << file;
}

TEST(Timers, FireOnlyWhenMessagesAreHandledAndOnceWhenLate)
{
    MemoryBackend ui;
    Timer t(ui, "t", 100);
    int ticks = 0;
    t.onTimer = [&] { ++ticks; };
    t.setEnabled(true);
    ui.processMessages();
    EXPECT_EQ(ticks, 0);
    ui.timePerProcessMessages = std::chrono::milliseconds(550);
    ui.processMessages();
    EXPECT_EQ(ticks, 1) << "a late timer fires once, not once per missed interval";
    t.setEnabled(false);
    ui.processMessages();
    EXPECT_EQ(ticks, 1);
}

TEST(Timers, HandlerThatRunsTheMessageLoopItselfDoesNotRefire)
{
    MemoryBackend ui;
    FocusForm f(ui);
    Timer start(ui, "start", 1000);
    Timer tick(ui, "tick", 100);
    int runs = 0, ticks = 0;
    tick.onTimer = [&] { ++ticks; };
    start.onTimer = [&] {
        start.setEnabled(false);
        ++runs;
        tick.setEnabled(true);
        ui.timePerProcessMessages = std::chrono::milliseconds(100);
        for (int i = 0; i < 5; ++i) ui.processMessages();
        tick.setEnabled(false);
        f.close();
    };
    f.show();
    start.setEnabled(true);
    ui.run(f);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ticks, 5);
    EXPECT_TRUE(f.isClosed());
}

TEST(Timers, AFailureNoHandlerCaughtIsShownInTheGeneralErrorBoxAndEndsOnlyThatHandler)
{
    MemoryBackend ui;
    FocusForm f(ui);
    Timer failing(ui, "failing", 100), other(ui, "other", 100);
    int ranToTheEnd = 0, others = 0;
    const auto fail = [](const char* what) { throw std::runtime_error(what); };
    failing.onTimer = [&] {
        fail("Unable to write to C:\\kit\\Orvo4.DAT");
        ++ranToTheEnd;
    };
    other.onTimer = [&] { ++others; };
    failing.setEnabled(true);
    other.setEnabled(true);
    ui.timePerProcessMessages = std::chrono::milliseconds(100);
    ui.processMessages();
    // A person's input in a modal showing that makes a handler fail, likewise.
    f.btnOK.isDefault = true;
    f.btnOK.onClick = [&] {
        fail("'x' is not a valid integer value");
        ++ranToTheEnd;
    };
    ui.dialogScripts.push_back([](Form& form) { form.pressEnter(); });
    EXPECT_EQ(f.showModal(), ModalResult::Cancel);
    EXPECT_EQ(ranToTheEnd, 0);
    EXPECT_EQ(others, 1) << "the loop goes on";
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].box.text, "Unable to write to C:\\kit\\Orvo4.DAT");
    EXPECT_EQ(ui.boxes[1].box.text, "'x' is not a valid integer value");
    for (const auto& shown : ui.boxes) {
        EXPECT_EQ(shown.box.caption, programTitle());
        EXPECT_EQ(shown.box.icon, Icon::Error);
        EXPECT_EQ(shown.box.buttons, Buttons::Ok);
    }
}

TEST(MessageLoop, QuitClosesTheMainWindowAndNoTimerMeansNoHang)
{
    MemoryBackend ui;
    {
        FocusForm f(ui);
        f.show();
        ui.run(f);  // nothing enabled: must return, not wait forever
        EXPECT_FALSE(f.isClosed());
    }
    FocusForm g(ui);
    Timer t(ui, "t", 100);
    t.setEnabled(true);
    g.show();
    ui.requestQuit();
    ui.run(g);
    EXPECT_TRUE(g.isClosed());
}

}  // namespace
}  // namespace talvorin::ui
