#pragma once

#include <list>
#include <memory>
#include <string>

#include "platform/win32/handles.h"
#include "ui/form.h"
#include "ui/types.h"
#include "ui/win32/control_window.h"
#include "ui/win32/gdi.h"

namespace talvorin::ui {

// The window class of a form: "T" and the form's name, as the forms are called in code.
std::string windowClassOf(const Form& form);
// The outer size of a form's window: its client area and its frame.
Size outerSize(const Form& form);

// One form as a real window: its frame, a system control for every control, and the
// traffic between them and the form. Input reaches the form the way the widget layer
// describes a person: Tab, Shift+Tab, Enter and Escape go to the form; a mouse button
// that would move the focus asks the form first, so that the field being left runs its
// exit check knowing where the focus is going, and the click is dropped when the check
// keeps the focus; characters pass the edit's key-press handler before the edit sees
// them; what the edit then does with its text comes back as the edit's change.
class FormWindow {
public:
    // Creates the window, hidden, owned by `owner` (may be null). `screenCursor` is the
    // cursor the whole program shows (Default: each control's own).
    FormWindow(Form& form, HWND owner, const Cursor& screenCursor);
    ~FormWindow();
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    HWND handle() const { return window_.get(); }
    Form& form() const { return form_; }

    // Makes it visible and active; the focus goes to the form's focused control.
    void show();
    void hide();

    // The form or one of its controls changed.
    void moved();
    void changed(const Control& control, Change what);
    void focusChanged(const Control* control);
    void removed(const Control& control);

private:
    // A control's window, and the form window whose traffic its subclass joins.
    struct Child {
        Child(FormWindow& owner, Control& control, int id)
            : owner(owner), window(makeControlWindow(control, owner.window_.get(), id, owner.fonts_))
        {
        }
        FormWindow& owner;
        std::unique_ptr<ControlWindow> window;
    };

    static LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK controlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR data);
    LRESULT formMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT controlMessage(ControlWindow& cw, UINT message, WPARAM wParam, LPARAM lParam);

    void createControl(Control& control, int index);
    ControlWindow* find(HWND handle);
    ControlWindow* find(const Control* control);
    // Gives the system's focus to the form's focused control; an edit entered other than by
    // the mouse has its text selected, as in every Windows dialog.
    void applyFocus(bool selectText);
    void showDefaultButton();
    bool setCursor(HWND child);
    bool handleFormKey(WPARAM key);

    Form& form_;
    const Cursor& screenCursor_;
    FontCache fonts_;
    // Stable addresses: each is its subclass's data. Declared before the window, so that the
    // window and its children go first, also when the constructor throws: their last messages
    // reach controlProc through these nodes.
    std::list<Child> controls_;
    platform::UniqueWindow window_;
    int updating_ = 0;  // the program is changing a control: no echo
    bool focusByMouse_ = false;
    bool selectOnActivation_ = false;
};

}  // namespace talvorin::ui
