#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/types.h"

namespace talvorin::ui {

class Backend;
class Control;
class Button;

// A window: its controls, the focus, showing, closing and the modal result.
class Form {
public:
    Form(Backend& backend, std::string name, std::string caption);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    Backend& backend() const { return backend_; }
    const std::string& name() const { return name_; }
    const std::string& caption() const { return caption_; }

    // How it is drawn; set before it is first shown (the rule is in ui/controls.h).
    Size clientSize;
    BorderStyle borderStyle = BorderStyle::Single;
    bool systemMenu = true;  // without it the frame has no close box (nor any other icon)
    Color color = Color::ButtonFace;
    Font font;

    // Where the window is: its outer top-left corner on the screen.
    int left() const { return left_; }
    int top() const { return top_; }
    void moveTo(int left, int top);
    // Centres the window on the screen: each coordinate (screen - window) / 2, the halves
    // truncated toward zero.
    void centreOnScreen();
    const std::vector<Control*>& controls() const { return controls_; }
    Control* findControl(const std::string& name) const;

    // The focus. Moving it runs the exit handler of the control that has it first; when
    // that handler moves the focus itself (a failed check puts it back), the move stops
    // there. Returns whether the focus arrived at the target.
    Control* activeControl() const { return active_; }
    bool focus(Control& target);
    // While an exit handler runs: where the focus is going.
    Control* focusTarget() const { return pendingTarget_; }

    bool isShowing() const { return showing_; }
    bool isClosed() const { return closed_; }
    // Shows the form and runs its show handler.
    void show();
    // Closes it: the close handler runs, then the form is hidden for good.
    void close();
    // Shows the form modally until its modal result is set; the result.
    ModalResult showModal();
    ModalResult modalResult() const { return modalResult_; }
    void setModalResult(ModalResult r) { modalResult_ = r; }

    // What a person does: Enter clicks the focused button, or else the default button,
    // without moving the focus; Escape clicks the cancel button; a mouse click focuses a
    // button first and clicks it only when the focus got there. Tab moves to the next tab
    // stop in creation order, Shift+Tab to the previous one. The close box of a window
    // shown modally answers Cancel.
    void pressEnter();
    void pressEscape();
    void clickButton(Button& button);
    void pressTab();
    void pressShiftTab();
    void clickCloseBox();

protected:
    virtual void FormShow() {}
    virtual void FormClose() {}

private:
    friend class Control;
    void add(Control& c) { controls_.push_back(&c); }
    void remove(Control& c);
    void tabFrom(int step);

    Backend& backend_;
    std::string name_;
    std::string caption_;
    std::vector<Control*> controls_;
    Control* active_ = nullptr;
    Control* pendingTarget_ = nullptr;
    unsigned focusRequests_ = 0;
    int left_ = 0;
    int top_ = 0;
    bool showing_ = false;
    bool closed_ = false;
    ModalResult modalResult_ = ModalResult::None;
};

}  // namespace talvorin::ui
