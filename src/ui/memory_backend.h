#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/timer_queue.h"
#include "ui/views.h"

namespace talvorin::ui {

// The backend for tests: a virtual clock, scripted answers, and a record of everything
// the windows showed.
class MemoryBackend : public Backend, private Views, private TimerClock {
public:
    struct ShownBox {
        Box box;
        Answer answer;
    };
    struct LabelText {
        std::string form, control, text;
    };
    struct ProgressPosition {
        std::string form, control;
        int position;
    };
    struct FocusMove {
        std::string form, control;
    };
    struct ModalShowing {
        std::string form;
        ModalResult result;
    };

    // Answers for the coming message boxes, in order; when they run out a box is
    // answered as Escape would answer it.
    std::deque<Answer> answers;
    // What the user does in the coming modal showings, in order (after the form's show
    // handler ran); a showing whose script leaves no result ends as Cancel, and one with
    // no script left is cancelled at once.
    std::deque<std::function<void(Form&)>> dialogScripts;
    // Virtual time that passes with every processMessages call; 0 by default, so only
    // waits and the idle message loop move the clock.
    std::chrono::milliseconds timePerProcessMessages{0};
    // Folders the user picks in the coming folder choosers; nullopt: cancelled. When they
    // run out the chooser is cancelled.
    std::deque<std::optional<std::string>> folders;
    std::vector<std::string> folderChooserTitles;
    // What mainWindow() gives, so tests can see it handed on as an owner.
    platform::WindowHandle window = platform::kNoWindow;
    // Runs at every waitFor before it sleeps, e.g. to request a quit in the middle of a wait.
    std::function<void()> onWait;
    // The screen, and what a window's frame adds to its client area.
    Size screen{1024, 768};
    Size frame{0, 0};

    std::vector<ShownBox> boxes;
    std::vector<LabelText> labelTexts;
    std::vector<ProgressPosition> progress;
    std::vector<FocusMove> focusMoves;
    std::vector<ModalShowing> modalShowings;
    std::vector<Cursor> cursors;
    int processMessagesCalls = 0;
    int waits = 0;

    void requestQuit() { quit_ = true; }
    std::chrono::milliseconds virtualNow() const { return now_; }

    void processMessages() override;
    void waitFor(platform::WaitHandle handle) override;
    bool quitRequested() const override { return quit_; }
    Answer messageBox(const Box& box) override;
    ModalResult showModal(Form& form) override;
    void run(Form& mainForm) override;
    void setCursor(Cursor cursor) override { cursors.push_back(cursor); }
    std::optional<std::string> browseForFolder(const std::string& title) override;
    platform::WindowHandle mainWindow() const override { return window; }
    Size screenSize() const override { return screen; }
    Size windowSize(const Form& form) const override;

    Views& views() override { return *this; }
    TimerQueue& timers() override { return timers_; }

private:
    // Views: the label texts and progress positions, and the focus.
    void controlChanged(const Control& control, Change what) override;
    void focusChanged(const Form& form, const Control* control) override;
    // TimerClock
    std::chrono::milliseconds now() const override { return now_; }

    TimerQueue timers_{*this, *this};
    std::chrono::milliseconds now_{0};
    bool quit_ = false;
};

}  // namespace talvorin::ui
