#pragma once

#include <memory>
#include <string>

#include "platform/win32/handles.h"
#include "ui/types.h"
#include "ui/win32/gdi.h"

namespace talvorin::ui {
class Button;
class Control;
}  // namespace talvorin::ui

namespace talvorin::ui {

// Every window and control carries its component's name in this window property, as a
// global atom, so that automation (and the tests) can find a control from any process:
// GlobalGetAtomNameA(GetPropA(window, kNameProperty)).
inline constexpr const char* kNameProperty = "TalvorinName";
void nameWindow(HWND window, const std::string& name);
void unnameWindow(HWND window);

// One control of the widget layer as the system control that draws it, a class for each
// kind (made by makeControlWindow): created as its kind needs, told what the program
// changed, and handed what the person did to it. The window it lies on does the message
// traffic; what a kind has no use for, it ignores.
class ControlWindow {
public:
    virtual ~ControlWindow() = default;
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    HWND handle() const { return handle_; }
    Control& control() const { return control_; }
    // Where it lies under the controls it surrounds: 0 among them, 1 a shape under them,
    // 2 a frame lowest of all.
    virtual int layer() const { return 0; }

    // The program changed the control: the system control follows.
    virtual void changed(Change what);
    // The colours it is drawn in on a window of `windowColor`; its brush.
    virtual HBRUSH colors(HDC dc, Color windowColor) const;
    // The cursor it asks for under the mouse; Default: the window's own.
    virtual Cursor cursor() const { return Cursor::Default; }

    // The system control reports `code` (WM_COMMAND's); `echo`: the program's own change
    // caused it.
    virtual void notified(WORD /*code*/, bool /*echo*/) {}
    // A key went down while it has the focus (the form's own keys never reach it).
    virtual void keyDown(WPARAM /*virtualKey*/) {}
    // A character is typed into it; false drops it. The control may change it.
    virtual bool typed(WPARAM& /*character*/) { return true; }
    // It got the focus other than by the mouse: an edit has its text selected.
    virtual void focusEntered() {}
    // Looks like the button Enter clicks when it is (`focused`: the focused button or null).
    virtual void showDefault(const Button* /*focused*/) {}

protected:
    // The system control that draws a kind.
    struct SystemControl {
        const char* windowClass = nullptr;
        DWORD style = 0;
        DWORD exStyle = 0;
        std::string text;
    };
    // Creates it as a child of `parent`, with the control's font and name; throws when the
    // system refuses it.
    ControlWindow(Control& control, HWND parent, int id, FontCache& fonts, const SystemControl& system);

private:
    Control& control_;
    HWND handle_ = nullptr;
};

std::unique_ptr<ControlWindow> makeControlWindow(Control& control, HWND parent, int id, FontCache& fonts);

}  // namespace talvorin::ui
