#include "ui/win32/control_window.h"

#include <commctrl.h>

#include <stdexcept>

#include "ui/control_visitor.h"
#include "ui/controls.h"
#include "ui/win32/painted_controls.h"

namespace talvorin::ui {
namespace {

HINSTANCE instance() { return ::GetModuleHandleA(nullptr); }

std::string windowText(HWND window)
{
    std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::size_t caretOf(HWND edit)
{
    DWORD start = 0, end = 0;
    ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return start;
}

Key keyOf(WPARAM virtualKey)
{
    switch (virtualKey) {
    case VK_LEFT: return Key::Left;
    case VK_RIGHT: return Key::Right;
    case VK_UP: return Key::Up;
    case VK_DOWN: return Key::Down;
    case VK_HOME: return Key::Home;
    case VK_END: return Key::End;
    default: return Key::Other;
    }
}

class FrameWindow final : public ControlWindow {
public:
    FrameWindow(GroupBox& g, HWND parent, int id, FontCache& fonts)
        : ControlWindow(g, parent, id, fonts, {"BUTTON", BS_GROUPBOX, 0, g.caption()})
    {
    }
    int layer() const override { return 2; }
};

class LabelWindow final : public ControlWindow {
public:
    LabelWindow(Label& l, HWND parent, int id, FontCache& fonts)
        : ControlWindow(l, parent, id, fonts,
                        {"STATIC", static_cast<DWORD>(SS_LEFTNOWORDWRAP | SS_NOPREFIX | (l.onClick ? SS_NOTIFY : 0)), 0,
                         l.caption()}),
          label_(l)
    {
    }
    void changed(Change what) override
    {
        if (what == Change::Caption) ::SetWindowTextA(handle(), label_.caption().c_str());
        ControlWindow::changed(what);
    }
    Cursor cursor() const override { return label_.enabled() ? label_.cursor() : Cursor::Default; }
    void notified(WORD code, bool) override
    {
        if (code == STN_CLICKED) label_.click();
    }

private:
    Label& label_;
};

class EditWindow final : public ControlWindow {
public:
    EditWindow(Edit& e, HWND parent, int id, FontCache& fonts)
        : ControlWindow(e, parent, id, fonts,
                        {"EDIT", styleOf(e), static_cast<DWORD>(e.bordered ? WS_EX_CLIENTEDGE : 0), e.text()}),
          edit_(e)
    {
        if (e.maxLength != 0) ::SendMessageA(handle(), EM_LIMITTEXT, e.maxLength, 0);
        if (e.password) ::SendMessageA(handle(), EM_SETPASSWORDCHAR, '*', 0);
    }
    void changed(Change what) override
    {
        if (what == Change::Text) ::SetWindowTextA(handle(), edit_.text().c_str());
        if (what == Change::Caret)
            ::SendMessageA(handle(), EM_SETSEL, edit_.selStart(), static_cast<LPARAM>(edit_.selStart()));
        ControlWindow::changed(what);
    }
    HBRUSH colors(HDC dc, Color) const override
    {
        ::SetBkColor(dc, colorOf(edit_.color()));
        // A disabled edit keeps the system's grey text.
        if (::IsWindowEnabled(handle())) ::SetTextColor(dc, colorOf(edit_.font.color));
        return brushOf(edit_.color());
    }
    void notified(WORD code, bool echo) override
    {
        if (code == EN_CHANGE && !echo) edit_.edited(windowText(handle()), caretOf(handle()));
    }
    void keyDown(WPARAM virtualKey) override
    {
        edit_.caretMoved(caretOf(handle()));
        edit_.keyDown(keyOf(virtualKey));
    }
    bool typed(WPARAM& character) override
    {
        if (edit_.readOnly) return true;
        char c = static_cast<char>(character);
        if (!edit_.keyPressed(c)) return false;
        character = static_cast<unsigned char>(c);
        return true;
    }
    void focusEntered() override
    {
        ::SendMessageA(handle(), EM_SETSEL, 0, -1);
        edit_.caretMoved(0);
    }

private:
    static DWORD styleOf(const Edit& e)
    {
        DWORD style = ES_AUTOHSCROLL;
        if (e.upperCase) style |= ES_UPPERCASE;
        if (e.password) style |= ES_PASSWORD;
        if (e.readOnly) style |= ES_READONLY;
        return style;
    }

    Edit& edit_;
};

// Either kind of button: a click is the button's.
class ButtonWindow : public ControlWindow {
public:
    void notified(WORD code, bool) override
    {
        if (code == BN_CLICKED) button_.click();
    }

protected:
    ButtonWindow(Button& b, HWND parent, int id, FontCache& fonts, const SystemControl& system)
        : ControlWindow(b, parent, id, fonts, system), button_(b)
    {
    }
    Button& button_;
};

// A button that takes no focus: painted by the program, in its font's colour.
class SpeedButtonWindow final : public ButtonWindow {
public:
    SpeedButtonWindow(Button& b, HWND parent, int id, FontCache& fonts)
        : ButtonWindow(b, parent, id, fonts, {kSpeedButtonClass, 0, 0, b.caption()})
    {
        ::SendMessageA(handle(), kSetPaintColor, colorOf(b.font.color), 0);
    }
};

// The system's push button, which can look like the default button.
class PushButtonWindow final : public ButtonWindow {
public:
    PushButtonWindow(Button& b, HWND parent, int id, FontCache& fonts)
        : ButtonWindow(b, parent, id, fonts,
                       {"BUTTON", static_cast<DWORD>(b.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0, b.caption()})
    {
    }
    void showDefault(const Button* focused) override
    {
        const bool looksDefault = focused != nullptr ? &button_ == focused : button_.isDefault;
        const LONG_PTR kind = ::GetWindowLongPtrA(handle(), GWL_STYLE) & BS_TYPEMASK;
        if ((kind == BS_DEFPUSHBUTTON) != looksDefault)
            ::SendMessageA(handle(), BM_SETSTYLE, looksDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
};

class BarWindow final : public ControlWindow {
public:
    BarWindow(ProgressBar& p, HWND parent, int id, FontCache& fonts)
        : ControlWindow(p, parent, id, fonts, {PROGRESS_CLASSA, 0, 0, {}}), bar_(p)
    {
        ::SendMessageA(handle(), PBM_SETRANGE32, static_cast<WPARAM>(p.min()), p.max());
        ::SendMessageA(handle(), PBM_SETPOS, static_cast<WPARAM>(p.position()), 0);
    }
    void changed(Change what) override
    {
        if (what == Change::Position) ::SendMessageA(handle(), PBM_SETPOS, static_cast<WPARAM>(bar_.position()), 0);
        ControlWindow::changed(what);
    }

private:
    ProgressBar& bar_;
};

class ImageWindow final : public ControlWindow {
public:
    ImageWindow(Image& i, HWND parent, int id, FontCache& fonts)
        : ControlWindow(i, parent, id, fonts, {"STATIC", SS_ICON | SS_CENTERIMAGE, 0, {}})
    {
        const Rect r = i.clientBounds();
        icon_.reset(static_cast<HICON>(
            ::LoadImageA(instance(), i.picture().c_str(), IMAGE_ICON, r.width, r.height, LR_DEFAULTCOLOR)));
        if (icon_) ::SendMessageA(handle(), STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
    }

private:
    platform::UniqueIcon icon_;
};

class ShapeWindow final : public ControlWindow {
public:
    ShapeWindow(Shape& s, HWND parent, int id, FontCache& fonts)
        : ControlWindow(s, parent, id, fonts, {kShapeClass, 0, 0, {}})
    {
        ::SendMessageA(handle(), kSetPaintColor, colorOf(s.color()), 0);
    }
    int layer() const override { return 1; }
    void changed(Change what) override
    {
        if (what == Change::Color) ::SendMessageA(handle(), kSetPaintColor, colorOf(control().color()), 0);
        ControlWindow::changed(what);
    }
};

class Maker final : public ControlVisitor {
public:
    Maker(HWND parent, int id, FontCache& fonts) : parent_(parent), id_(id), fonts_(fonts) {}
    std::unique_ptr<ControlWindow> made;

    void visit(GroupBox& g) override { make<FrameWindow>(g); }
    void visit(Label& l) override { make<LabelWindow>(l); }
    void visit(Edit& e) override { make<EditWindow>(e); }
    void visit(Button& b) override
    {
        if (b.focusable())
            make<PushButtonWindow>(b);
        else
            make<SpeedButtonWindow>(b);
    }
    void visit(ProgressBar& p) override { make<BarWindow>(p); }
    void visit(Image& i) override { make<ImageWindow>(i); }
    void visit(Shape& s) override { make<ShapeWindow>(s); }

private:
    template <typename Window, typename Kind>
    void make(Kind& control)
    {
        made = std::make_unique<Window>(control, parent_, id_, fonts_);
    }

    HWND parent_;
    int id_;
    FontCache& fonts_;
};

}  // namespace

void nameWindow(HWND window, const std::string& name)
{
    ::SetPropA(window, kNameProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(::GlobalAddAtomA(name.c_str()))));
}

void unnameWindow(HWND window)
{
    const auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(::RemovePropA(window, kNameProperty)));
    if (atom != 0) ::GlobalDeleteAtom(atom);
}

ControlWindow::ControlWindow(Control& control, HWND parent, int id, FontCache& fonts, const SystemControl& system)
    : control_(control)
{
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | system.style;
    if (control.visible()) style |= WS_VISIBLE;
    if (!control.enabled()) style |= WS_DISABLED;
    if (control.focusable() && control.tabStop) style |= WS_TABSTOP;
    const Rect r = control.clientBounds();
    handle_ = ::CreateWindowExA(system.exStyle, system.windowClass, system.text.c_str(), style, r.left, r.top, r.width,
                                r.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance(),
                                nullptr);
    if (handle_ == nullptr) {
        const DWORD error = ::GetLastError();
        throw std::runtime_error("The control " + control.name() + " cannot be created: " + platform::errorText(error) +
                                 ".");
    }
    ::SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.get(control.font)), FALSE);
    nameWindow(handle_, control.name());
}

void ControlWindow::changed(Change what)
{
    const HWND h = handle_;
    switch (what) {
    case Change::Enabled: ::EnableWindow(h, control_.enabled()); break;
    case Change::Visible: ::ShowWindow(h, control_.visible() ? SW_SHOWNA : SW_HIDE); break;
    case Change::Color: ::InvalidateRect(h, nullptr, TRUE); break;
    case Change::Bounds: {
        const Rect r = control_.clientBounds();
        ::SetWindowPos(h, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
        ::InvalidateRect(h, nullptr, TRUE);
        break;
    }
    case Change::Text:
    case Change::Caption:
    case Change::Position:
    case Change::Caret:
    case Change::Cursor: break;  // the kinds' own; a cursor is asked for whenever the mouse is over it
    }
}

HBRUSH ControlWindow::colors(HDC dc, Color windowColor) const
{
    // Labels, frames and pictures lie on the window's own colour.
    ::SetBkColor(dc, colorOf(windowColor));
    ::SetTextColor(dc, colorOf(control_.font.color));
    return brushOf(windowColor);
}

std::unique_ptr<ControlWindow> makeControlWindow(Control& control, HWND parent, int id, FontCache& fonts)
{
    Maker maker(parent, id, fonts);
    control.accept(maker);
    return std::move(maker.made);
}

}  // namespace talvorin::ui
