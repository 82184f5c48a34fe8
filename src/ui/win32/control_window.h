#pragma once

#include <string>

#include "platform/win32/handles.h"
#include "ui/types.h"
#include "ui/win32/gdi.h"

namespace talvorin::ui {
class Button;
class Control;
class Edit;
class Label;
class ProgressBar;
}  // namespace talvorin::ui

namespace talvorin::ui {

// Every window and control carries its component's name in this window property, as a
// global atom, so that automation (and the tests) can find a control from any process:
// GlobalGetAtomNameA(GetPropA(window, kNameProperty)).
inline constexpr const char* kNameProperty = "TalvorinName";
void nameWindow(HWND window, const std::string& name);
void unnameWindow(HWND window);

// One control of the widget layer as the system control that draws it: created as its kind
// needs, and told what the program changed. Its kind is known once, when it is created; the
// window it lies on does the message traffic.
class ControlWindow {
public:
    // Creates the system control as a child of `parent`, with the control's font and name;
    // throws when the system refuses it.
    ControlWindow(Control& control, HWND parent, int id, FontCache& fonts);
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    HWND handle() const { return handle_; }
    Control& control() const { return control_; }
    // Of these kinds: the control as that kind; null for any other.
    Edit* edit() const { return edit_; }
    Label* label() const { return label_; }
    // A push button, which can look like the default button (a speed button cannot).
    Button* pushButton() const { return pushButton_; }
    Button* button() const { return button_; }
    // Where it lies under the controls it surrounds: 0 among them, 1 a shape under them,
    // 2 a frame lowest of all.
    int layer() const { return layer_; }

    // The program changed the control: the system control follows.
    void changed(Change what);
    // The colours it is drawn in on a window of `windowColor`; its brush.
    HBRUSH colors(HDC dc, Color windowColor) const;
    // The cursor it asks for under the mouse; Default: the window's own.
    Cursor cursor() const;

private:
    Control& control_;
    HWND handle_ = nullptr;
    platform::UniqueIcon icon_;
    Edit* edit_ = nullptr;
    Label* label_ = nullptr;
    Button* button_ = nullptr;
    Button* pushButton_ = nullptr;
    ProgressBar* bar_ = nullptr;
    bool shape_ = false;
    int layer_ = 0;
};

}  // namespace talvorin::ui
