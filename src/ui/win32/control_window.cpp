#include "ui/win32/control_window.h"

#include <commctrl.h>

#include <stdexcept>

#include "ui/control_visitor.h"
#include "ui/controls.h"
#include "ui/win32/painted_controls.h"

namespace talvorin::ui {
namespace {

HINSTANCE instance() { return ::GetModuleHandleA(nullptr); }

// The system control that draws a control of the widget layer.
struct SystemControl {
    const char* windowClass = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
};

// What each kind is as a system control, and the kind itself for what follows.
class KindReader final : public ControlVisitor {
public:
    SystemControl system;
    Edit* edit = nullptr;
    Label* label = nullptr;
    Button* button = nullptr;
    ProgressBar* bar = nullptr;
    Image* image = nullptr;
    bool shape = false;
    bool frame = false;

    void visit(GroupBox& g) override
    {
        system = {"BUTTON", BS_GROUPBOX, 0, g.caption()};
        frame = true;
    }
    void visit(Label& l) override
    {
        system = {"STATIC", static_cast<DWORD>(SS_LEFTNOWORDWRAP | SS_NOPREFIX | (l.onClick ? SS_NOTIFY : 0)), 0,
                  l.caption()};
        label = &l;
    }
    void visit(Edit& e) override
    {
        DWORD style = ES_AUTOHSCROLL;
        if (e.upperCase) style |= ES_UPPERCASE;
        if (e.password) style |= ES_PASSWORD;
        if (e.readOnly) style |= ES_READONLY;
        system = {"EDIT", style, static_cast<DWORD>(e.bordered ? WS_EX_CLIENTEDGE : 0), e.text()};
        edit = &e;
    }
    void visit(Button& b) override
    {
        if (!b.focusable())
            system = {kSpeedButtonClass, 0, 0, b.caption()};
        else
            system = {"BUTTON", static_cast<DWORD>(b.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0, b.caption()};
        button = &b;
    }
    void visit(ProgressBar& p) override
    {
        system = {PROGRESS_CLASSA, 0, 0, {}};
        bar = &p;
    }
    void visit(Image& i) override
    {
        system = {"STATIC", SS_ICON | SS_CENTERIMAGE, 0, {}};
        image = &i;
    }
    void visit(Shape&) override
    {
        system = {kShapeClass, 0, 0, {}};
        shape = true;
    }
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

ControlWindow::ControlWindow(Control& control, HWND parent, int id, FontCache& fonts) : control_(control)
{
    KindReader kind;
    control.accept(kind);
    const SystemControl& sc = kind.system;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | sc.style;
    if (control.visible()) style |= WS_VISIBLE;
    if (!control.enabled()) style |= WS_DISABLED;
    if (control.focusable() && control.tabStop) style |= WS_TABSTOP;
    const Rect r = control.clientBounds();
    handle_ = ::CreateWindowExA(sc.exStyle, sc.windowClass, sc.text.c_str(), style, r.left, r.top, r.width, r.height,
                                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance(), nullptr);
    if (handle_ == nullptr) {
        const DWORD error = ::GetLastError();
        throw std::runtime_error("The control " + control.name() + " cannot be created: " + platform::errorText(error) +
                                 ".");
    }
    edit_ = kind.edit;
    label_ = kind.label;
    button_ = kind.button;
    pushButton_ = kind.button != nullptr && kind.button->focusable() ? kind.button : nullptr;
    bar_ = kind.bar;
    shape_ = kind.shape;
    layer_ = kind.frame ? 2 : kind.shape ? 1 : 0;

    ::SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.get(control.font)), FALSE);
    nameWindow(handle_, control.name());
    if (edit_ != nullptr) {
        if (edit_->maxLength != 0) ::SendMessageA(handle_, EM_LIMITTEXT, edit_->maxLength, 0);
        if (edit_->password) ::SendMessageA(handle_, EM_SETPASSWORDCHAR, '*', 0);
    } else if (bar_ != nullptr) {
        ::SendMessageA(handle_, PBM_SETRANGE32, static_cast<WPARAM>(bar_->min()), bar_->max());
        ::SendMessageA(handle_, PBM_SETPOS, static_cast<WPARAM>(bar_->position()), 0);
    } else if (kind.image != nullptr) {
        icon_.reset(static_cast<HICON>(
            ::LoadImageA(instance(), kind.image->picture().c_str(), IMAGE_ICON, r.width, r.height, LR_DEFAULTCOLOR)));
        if (icon_) ::SendMessageA(handle_, STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
    } else if (shape_) {
        ::SendMessageA(handle_, kSetPaintColor, colorOf(control.color()), 0);
    } else if (button_ != nullptr && pushButton_ == nullptr) {
        ::SendMessageA(handle_, kSetPaintColor, colorOf(control.font.color), 0);
    }
}

void ControlWindow::changed(Change what)
{
    const HWND h = handle_;
    switch (what) {
    case Change::Text:
        if (edit_ != nullptr) ::SetWindowTextA(h, edit_->text().c_str());
        break;
    case Change::Caption:
        if (label_ != nullptr) ::SetWindowTextA(h, label_->caption().c_str());
        break;
    case Change::Enabled: ::EnableWindow(h, control_.enabled()); break;
    case Change::Visible: ::ShowWindow(h, control_.visible() ? SW_SHOWNA : SW_HIDE); break;
    case Change::Color:
        if (shape_) ::SendMessageA(h, kSetPaintColor, colorOf(control_.color()), 0);
        ::InvalidateRect(h, nullptr, TRUE);
        break;
    case Change::Position:
        if (bar_ != nullptr) ::SendMessageA(h, PBM_SETPOS, static_cast<WPARAM>(bar_->position()), 0);
        break;
    case Change::Bounds: {
        const Rect r = control_.clientBounds();
        ::SetWindowPos(h, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
        ::InvalidateRect(h, nullptr, TRUE);
        break;
    }
    case Change::Caret:
        if (edit_ != nullptr) ::SendMessageA(h, EM_SETSEL, edit_->selStart(), static_cast<LPARAM>(edit_->selStart()));
        break;
    case Change::Cursor: break;  // asked for whenever the mouse is over it
    }
}

HBRUSH ControlWindow::colors(HDC dc, Color windowColor) const
{
    if (edit_ != nullptr) {
        ::SetBkColor(dc, colorOf(edit_->color()));
        // A disabled edit keeps the system's grey text.
        if (::IsWindowEnabled(handle_)) ::SetTextColor(dc, colorOf(edit_->font.color));
        return brushOf(edit_->color());
    }
    // Labels, frames and pictures lie on the window's own colour.
    ::SetBkColor(dc, colorOf(windowColor));
    ::SetTextColor(dc, colorOf(control_.font.color));
    return brushOf(windowColor);
}

Cursor ControlWindow::cursor() const
{
    if (label_ == nullptr || !label_->enabled()) return Cursor::Default;
    return label_->cursor();
}

}  // namespace talvorin::ui
