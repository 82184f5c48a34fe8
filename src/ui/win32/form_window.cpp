#include "ui/win32/form_window.h"

#include <commctrl.h>

#include <stdexcept>

#include "platform/scope_exit.h"
#include "platform/win32/handles.h"
#include "ui/controls.h"
#include "ui/handler_guard.h"
#include "ui/win32/painted_controls.h"

namespace talvorin::ui {
namespace {

// Posted when the system moved the focus by itself, to tell the form afterwards.
constexpr UINT kSyncFocus = WM_APP + 20;
constexpr UINT_PTR kControlSubclass = 1;
constexpr int kFirstControlId = 100;

HINSTANCE instance() { return ::GetModuleHandleA(nullptr); }

DWORD styleOf(const Form& form)
{
    // No WS_CLIPCHILDREN: the window paints its colour under the frames, which are drawn
    // hollow.
    const DWORD style = WS_CAPTION | (form.systemMenu ? WS_SYSMENU : 0);
    return style | (form.borderStyle == BorderStyle::Dialog ? WS_POPUP : WS_OVERLAPPED);
}

DWORD exStyleOf(const Form& form)
{
    return form.borderStyle == BorderStyle::Dialog ? WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE : 0;
}

void nameWindow(HWND window, const std::string& name)
{
    ::SetPropA(window, kNameProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(::GlobalAddAtomA(name.c_str()))));
}

void unnameWindow(HWND window)
{
    const auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(::RemovePropA(window, kNameProperty)));
    if (atom != 0) ::GlobalDeleteAtom(atom);
}

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

bool shiftDown() { return (::GetKeyState(VK_SHIFT) & 0x8000) != 0; }

// The system control that draws a control of the widget layer.
struct SystemControl {
    const char* windowClass;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
};

SystemControl systemControlFor(const Control& c)
{
    if (auto* g = dynamic_cast<const GroupBox*>(&c)) return {"BUTTON", BS_GROUPBOX, 0, g->caption()};
    if (auto* l = dynamic_cast<const Label*>(&c))
        return {"STATIC", static_cast<DWORD>(SS_LEFTNOWORDWRAP | SS_NOPREFIX | (l->onClick ? SS_NOTIFY : 0)), 0,
                l->caption()};
    if (auto* e = dynamic_cast<const Edit*>(&c)) {
        DWORD style = ES_AUTOHSCROLL;
        if (e->upperCase) style |= ES_UPPERCASE;
        if (e->password) style |= ES_PASSWORD;
        if (e->readOnly) style |= ES_READONLY;
        return {"EDIT", style, static_cast<DWORD>(e->bordered ? WS_EX_CLIENTEDGE : 0), e->text()};
    }
    if (auto* b = dynamic_cast<const Button*>(&c)) {
        if (!b->focusable()) return {kSpeedButtonClass, 0, 0, b->caption()};
        return {"BUTTON", static_cast<DWORD>(b->isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0, b->caption()};
    }
    if (dynamic_cast<const ProgressBar*>(&c)) return {PROGRESS_CLASSA, 0, 0, {}};
    if (dynamic_cast<const Image*>(&c)) return {"STATIC", SS_ICON | SS_CENTERIMAGE, 0, {}};
    if (dynamic_cast<const Shape*>(&c)) return {kShapeClass, 0, 0, {}};
    return {"STATIC", 0, 0, {}};
}

void registerFormClass(const Form& form, WNDPROC proc)
{
    const std::string name = windowClassOf(form);
    WNDCLASSEXA c{};
    c.cbSize = sizeof c;
    c.style = CS_DBLCLKS;
    c.lpfnWndProc = proc;
    c.hInstance = instance();
    // A dialog's frame shows no icon.
    if (form.borderStyle != BorderStyle::Dialog) c.hIcon = ::LoadIconA(instance(), kProgramIcon);
    c.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    c.hbrBackground = brushOf(form.color);
    c.lpszClassName = name.c_str();
    ::RegisterClassExA(&c);  // a second registration fails harmlessly
}

}  // namespace

std::string windowClassOf(const Form& form) { return "T" + form.name(); }

Size outerSize(const Form& form)
{
    RECT r{0, 0, form.clientSize.width, form.clientSize.height};
    ::AdjustWindowRectEx(&r, styleOf(form), FALSE, exStyleOf(form));
    return {r.right - r.left, r.bottom - r.top};
}

FormWindow::FormWindow(Form& form, HWND owner, const Cursor& screenCursor) : form_(form), screenCursor_(screenCursor)
{
    registerPaintedControls(instance());
    INITCOMMONCONTROLSEX common{sizeof common, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&common);
    registerFormClass(form, formProc);

    const Size outer = outerSize(form);
    window_.reset(::CreateWindowExA(exStyleOf(form), windowClassOf(form).c_str(), form.caption().c_str(),
                                    styleOf(form), form.left(), form.top(), outer.width, outer.height, owner, nullptr,
                                    instance(), this));
    if (!window_) {
        const DWORD error = ::GetLastError();
        throw std::runtime_error("The window \"" + form.caption() +
                                 "\" cannot be created: " + platform::errorText(error) + ".");
    }
    nameWindow(window_.get(), form.name());

    ++updating_;
    const auto done = platform::scopeExit([this] { --updating_; });
    int index = 0;
    for (Control* c : form.controls()) createControl(*c, index++);
    // Shapes and frames are drawn under the controls they surround, frames lowest.
    for (const bool frames : {false, true})
        for (const ControlWindow& cw : controls_)
            if (frames ? dynamic_cast<const GroupBox*>(cw.control) != nullptr
                       : dynamic_cast<const Shape*>(cw.control) != nullptr)
                ::SetWindowPos(cw.handle, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    showDefaultButton();
}

FormWindow::~FormWindow()
{
    // The controls' windows go with the form's; none of them tells the form anything now.
    for (ControlWindow& cw : controls_) {
        ::RemoveWindowSubclass(cw.handle, controlProc, kControlSubclass);
        unnameWindow(cw.handle);
    }
    controls_.clear();
    window_.reset();
}

void FormWindow::createControl(Control& control, int index)
{
    const SystemControl sc = systemControlFor(control);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | sc.style;
    if (control.visible()) style |= WS_VISIBLE;
    if (!control.enabled()) style |= WS_DISABLED;
    if (control.focusable() && control.tabStop()) style |= WS_TABSTOP;
    const Rect r = control.clientBounds();
    const HWND h = ::CreateWindowExA(sc.exStyle, sc.windowClass, sc.text.c_str(), style, r.left, r.top, r.width,
                                     r.height, window_.get(),
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)),
                                     instance(), nullptr);
    if (h == nullptr) {
        const DWORD error = ::GetLastError();
        throw std::runtime_error("The control " + control.name() + " cannot be created: " +
                                 platform::errorText(error) + ".");
    }
    ControlWindow& cw = controls_.emplace_back(ControlWindow{this, &control, h, {}});
    ::SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(control.font)), FALSE);
    nameWindow(h, control.name());
    ::SetWindowSubclass(h, controlProc, kControlSubclass, reinterpret_cast<DWORD_PTR>(&cw));

    if (auto* e = dynamic_cast<Edit*>(&control)) {
        if (e->maxLength != 0) ::SendMessageA(h, EM_LIMITTEXT, e->maxLength, 0);
        if (e->password) ::SendMessageA(h, EM_SETPASSWORDCHAR, '*', 0);
    } else if (auto* bar = dynamic_cast<ProgressBar*>(&control)) {
        ::SendMessageA(h, PBM_SETRANGE32, static_cast<WPARAM>(bar->min()), bar->max());
        ::SendMessageA(h, PBM_SETPOS, static_cast<WPARAM>(bar->position()), 0);
    } else if (auto* image = dynamic_cast<Image*>(&control)) {
        cw.icon.reset(static_cast<HICON>(
            ::LoadImageA(instance(), image->picture().c_str(), IMAGE_ICON, r.width, r.height, LR_DEFAULTCOLOR)));
        if (cw.icon) ::SendMessageA(h, STM_SETICON, reinterpret_cast<WPARAM>(cw.icon.get()), 0);
    } else if (dynamic_cast<Shape*>(&control)) {
        ::SendMessageA(h, kSetPaintColor, colorOf(control.color()), 0);
    } else if (auto* b = dynamic_cast<Button*>(&control); b && !b->focusable()) {
        ::SendMessageA(h, kSetPaintColor, colorOf(control.font.color), 0);
    }
}

FormWindow::ControlWindow* FormWindow::find(HWND handle)
{
    for (ControlWindow& cw : controls_)
        if (cw.handle == handle) return &cw;
    return nullptr;
}

FormWindow::ControlWindow* FormWindow::find(const Control* control)
{
    for (ControlWindow& cw : controls_)
        if (cw.control == control) return &cw;
    return nullptr;
}

void FormWindow::show()
{
    ::ShowWindow(window_.get(), SW_SHOW);
    ::UpdateWindow(window_.get());
}

void FormWindow::hide() { ::ShowWindow(window_.get(), SW_HIDE); }

void FormWindow::moved()
{
    ::SetWindowPos(window_.get(), nullptr, form_.left(), form_.top(), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::changed(const Control& control, Change what)
{
    ControlWindow* cw = find(&control);
    if (cw == nullptr) return;
    const HWND h = cw->handle;
    ++updating_;
    const auto done = platform::scopeExit([this] { --updating_; });
    switch (what) {
    case Change::Text:
        if (auto* e = dynamic_cast<const Edit*>(&control)) ::SetWindowTextA(h, e->text().c_str());
        break;
    case Change::Caption:
        if (auto* l = dynamic_cast<const Label*>(&control)) ::SetWindowTextA(h, l->caption().c_str());
        break;
    case Change::Enabled:
        ::EnableWindow(h, control.enabled());
        break;
    case Change::Visible:
        ::ShowWindow(h, control.visible() ? SW_SHOWNA : SW_HIDE);
        break;
    case Change::Color:
        if (dynamic_cast<const Shape*>(&control)) ::SendMessageA(h, kSetPaintColor, colorOf(control.color()), 0);
        ::InvalidateRect(h, nullptr, TRUE);
        break;
    case Change::Position:
        if (auto* bar = dynamic_cast<const ProgressBar*>(&control))
            ::SendMessageA(h, PBM_SETPOS, static_cast<WPARAM>(bar->position()), 0);
        break;
    case Change::Bounds: {
        const Rect r = control.clientBounds();
        ::SetWindowPos(h, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
        ::InvalidateRect(h, nullptr, TRUE);
        break;
    }
    case Change::Caret:
        if (auto* e = dynamic_cast<const Edit*>(&control))
            ::SendMessageA(h, EM_SETSEL, e->selStart(), static_cast<LPARAM>(e->selStart()));
        break;
    case Change::Cursor:
        break;  // asked for whenever the mouse is over it
    }
}

void FormWindow::removed(const Control& control)
{
    ControlWindow* cw = find(&control);
    if (cw == nullptr) return;
    const HWND h = cw->handle;
    ::RemoveWindowSubclass(h, controlProc, kControlSubclass);
    unnameWindow(h);
    controls_.remove_if([&](const ControlWindow& c) { return c.control == &control; });
    ::DestroyWindow(h);
}

void FormWindow::focusChanged(const Control* control)
{
    if (::GetActiveWindow() != window_.get()) {
        // Applied when the window becomes active.
        selectOnActivation_ = dynamic_cast<const Edit*>(control) != nullptr;
        return;
    }
    applyFocus(!focusByMouse_);
}

void FormWindow::applyFocus(bool selectText)
{
    ControlWindow* cw = find(form_.activeControl());
    const HWND target = cw != nullptr ? cw->handle : window_.get();
    if (!::IsWindowEnabled(target) || !::IsWindowVisible(target)) return;
    if (::GetFocus() != target) ::SetFocus(target);
    if (auto* e = cw != nullptr ? dynamic_cast<Edit*>(cw->control) : nullptr; e && selectText) {
        ++updating_;
        ::SendMessageA(target, EM_SETSEL, 0, -1);
        --updating_;
        e->caretMoved(0);
    }
    showDefaultButton();
}

void FormWindow::showDefaultButton()
{
    // The focused button is the one Enter clicks, and looks it; else the default button.
    auto* focused = dynamic_cast<const Button*>(form_.activeControl());
    for (const ControlWindow& cw : controls_) {
        auto* b = dynamic_cast<const Button*>(cw.control);
        if (b == nullptr || !b->focusable()) continue;
        const bool looksDefault = focused != nullptr ? b == focused : b->isDefault;
        const LONG_PTR kind = ::GetWindowLongPtrA(cw.handle, GWL_STYLE) & BS_TYPEMASK;
        if ((kind == BS_DEFPUSHBUTTON) != looksDefault)
            ::SendMessageA(cw.handle, BM_SETSTYLE, looksDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

HBRUSH FormWindow::colorControl(HWND child, HDC dc)
{
    const ControlWindow* cw = find(child);
    if (cw == nullptr) return nullptr;
    if (auto* e = dynamic_cast<const Edit*>(cw->control)) {
        ::SetBkColor(dc, colorOf(e->color()));
        // A disabled edit keeps the system's grey text.
        if (::IsWindowEnabled(child)) ::SetTextColor(dc, colorOf(e->font.color));
        return brushOf(e->color());
    }
    // Labels, frames and pictures lie on the window's own colour.
    ::SetBkColor(dc, colorOf(form_.color));
    ::SetTextColor(dc, colorOf(cw->control->font.color));
    return brushOf(form_.color);
}

bool FormWindow::setCursor(HWND child)
{
    if (screenCursor_ != Cursor::Default) {
        ::SetCursor(systemCursor(screenCursor_));
        return true;
    }
    const ControlWindow* cw = find(child);
    auto* label = cw != nullptr ? dynamic_cast<const Label*>(cw->control) : nullptr;
    if (label == nullptr || label->cursor() == Cursor::Default || !label->enabled()) return false;
    ::SetCursor(systemCursor(label->cursor()));
    return true;
}

bool FormWindow::handleFormKey(WPARAM key)
{
    switch (key) {
    case VK_TAB:
        if (shiftDown())
            form_.pressShiftTab();
        else
            form_.pressTab();
        return true;
    case VK_RETURN:
        form_.pressEnter();
        return true;
    case VK_ESCAPE:
        form_.pressEscape();
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK FormWindow::formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<FormWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        unnameWindow(window);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    }
    // Until CreateWindowEx has returned the window is not yet the form's.
    if (self == nullptr || !self->window_) return ::DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    dispatchGuarded(self->form_.backend(), [&] { result = self->formMessage(message, wParam, lParam); });
    return result;
}

LRESULT FormWindow::formMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND window = window_.get();
    switch (message) {
    case WM_COMMAND: {
        ControlWindow* cw = find(reinterpret_cast<HWND>(lParam));
        if (cw == nullptr) break;
        const WORD code = HIWORD(wParam);
        if (code == EN_CHANGE) {
            if (auto* e = dynamic_cast<Edit*>(cw->control); e && updating_ == 0)
                e->edited(windowText(cw->handle), caretOf(cw->handle));
        } else if (code == BN_CLICKED) {  // also STN_CLICKED, which has the same code
            if (auto* b = dynamic_cast<Button*>(cw->control)) b->click();
            if (auto* l = dynamic_cast<Label*>(cw->control)) l->click();
        }
        return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (HBRUSH brush = colorControl(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            applyFocus(selectOnActivation_);
            selectOnActivation_ = false;
            return 0;
        }
        break;
    case WM_SETFOCUS:
        applyFocus(false);
        return 0;
    case kSyncFocus: {
        // The system moved the focus to a control by itself: tell the form now, and put the
        // focus back where the form keeps it when it did not accept the move.
        ControlWindow* cw = find(::GetFocus());
        if (cw == nullptr || cw->control->focused()) return 0;
        form_.focus(*cw->control);
        if (!cw->control->focused()) applyFocus(false);
        return 0;
    }
    case WM_KEYDOWN:
        if (handleFormKey(wParam)) return 0;
        break;
    case WM_SETCURSOR:
        if (setCursor(reinterpret_cast<HWND>(wParam))) return TRUE;
        break;
    case WM_CLOSE:
        // Never destroyed by the user: the form decides what its close box means.
        form_.clickCloseBox();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK FormWindow::controlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data)
{
    auto& cw = *reinterpret_cast<ControlWindow*>(data);
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(window, controlProc, kControlSubclass);
        unnameWindow(window);
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    dispatchGuarded(cw.owner->form_.backend(), [&] { result = cw.owner->controlMessage(cw, message, wParam, lParam); });
    return result;
}

LRESULT FormWindow::controlMessage(ControlWindow& cw, UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND h = cw.handle;
    Control& control = *cw.control;
    auto* edit = dynamic_cast<Edit*>(&control);
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // The form moves the focus first: the field being left checks itself knowing the
        // target, and when it keeps the focus the click goes nowhere.
        if (control.focusable() && !control.focused()) {
            focusByMouse_ = true;
            form_.focus(control);
            focusByMouse_ = false;
            if (!control.focused()) return 0;
        }
        break;
    case WM_SETFOCUS:
        if (!control.focused()) ::PostMessageA(window_.get(), kSyncFocus, 0, 0);
        break;
    case WM_KEYDOWN:
        if (handleFormKey(wParam)) return 0;
        if (edit != nullptr) {
            edit->caretMoved(caretOf(h));
            edit->keyDown(keyOf(wParam));
        }
        break;
    case WM_CHAR:
        // Tab, Enter and Escape were handled as keys.
        if (wParam == '\t' || wParam == '\r' || wParam == '\n' || wParam == 0x1b) return 0;
        if (edit != nullptr && !edit->readOnly) {
            char c = static_cast<char>(wParam);
            if (!edit->keyPressed(c)) return 0;
            wParam = static_cast<unsigned char>(c);
        }
        break;
    default:
        break;
    }
    return ::DefSubclassProc(h, message, wParam, lParam);
}

}  // namespace talvorin::ui
