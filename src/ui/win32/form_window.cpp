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

bool shiftDown() { return (::GetKeyState(VK_SHIFT) & 0x8000) != 0; }

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
    window_.reset(::CreateWindowExA(exStyleOf(form), windowClassOf(form).c_str(), form.caption().c_str(), styleOf(form),
                                    form.left(), form.top(), outer.width, outer.height, owner, nullptr, instance(),
                                    this));
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
    for (const int layer : {1, 2})
        for (const Child& child : controls_)
            if (child.window->layer() == layer)
                ::SetWindowPos(child.window->handle(), HWND_BOTTOM, 0, 0, 0, 0,
                               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    showDefaultButton();
}

FormWindow::~FormWindow()
{
    // The controls' windows go with the form's; none of them tells the form anything now.
    for (const Child& child : controls_) {
        ::RemoveWindowSubclass(child.window->handle(), controlProc, kControlSubclass);
        unnameWindow(child.window->handle());
    }
    controls_.clear();
    window_.reset();
}

void FormWindow::createControl(Control& control, int index)
{
    Child& child = controls_.emplace_back(*this, control, kFirstControlId + index);
    ::SetWindowSubclass(child.window->handle(), controlProc, kControlSubclass, reinterpret_cast<DWORD_PTR>(&child));
}

ControlWindow* FormWindow::find(HWND handle)
{
    for (Child& child : controls_)
        if (child.window->handle() == handle) return child.window.get();
    return nullptr;
}

ControlWindow* FormWindow::find(const Control* control)
{
    for (Child& child : controls_)
        if (&child.window->control() == control) return child.window.get();
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
    ++updating_;
    const auto done = platform::scopeExit([this] { --updating_; });
    cw->changed(what);
}

void FormWindow::removed(const Control& control)
{
    ControlWindow* cw = find(&control);
    if (cw == nullptr) return;
    const HWND h = cw->handle();
    ::RemoveWindowSubclass(h, controlProc, kControlSubclass);
    unnameWindow(h);
    controls_.remove_if([&](const Child& c) { return &c.window->control() == &control; });
    ::DestroyWindow(h);
}

void FormWindow::focusChanged(const Control* control)
{
    if (::GetActiveWindow() != window_.get()) {
        // Applied when the window becomes active.
        selectOnActivation_ = as<Edit>(control) != nullptr;
        return;
    }
    applyFocus(!focusByMouse_);
}

void FormWindow::applyFocus(bool selectText)
{
    ControlWindow* cw = find(form_.activeControl());
    const HWND target = cw != nullptr ? cw->handle() : window_.get();
    if (!::IsWindowEnabled(target) || !::IsWindowVisible(target)) return;
    if (::GetFocus() != target) ::SetFocus(target);
    if (cw != nullptr && selectText) {
        ++updating_;
        const auto done = platform::scopeExit([this] { --updating_; });
        cw->focusEntered();
    }
    showDefaultButton();
}

void FormWindow::showDefaultButton()
{
    // The focused button is the one Enter clicks, and looks it; else the default button.
    const Button* focused = as<Button>(form_.activeControl());
    for (const Child& child : controls_) child.window->showDefault(focused);
}

bool FormWindow::setCursor(HWND child)
{
    if (screenCursor_ != Cursor::Default) {
        ::SetCursor(systemCursor(screenCursor_));
        return true;
    }
    const ControlWindow* cw = find(child);
    const Cursor own = cw != nullptr ? cw->cursor() : Cursor::Default;
    if (own == Cursor::Default) return false;
    ::SetCursor(systemCursor(own));
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
    case VK_RETURN: form_.pressEnter(); return true;
    case VK_ESCAPE: form_.pressEscape(); return true;
    default: return false;
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
        cw->notified(HIWORD(wParam), updating_ != 0);
        return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (const ControlWindow* cw = find(reinterpret_cast<HWND>(lParam)))
            return reinterpret_cast<LRESULT>(cw->colors(reinterpret_cast<HDC>(wParam), form_.color));
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            applyFocus(selectOnActivation_);
            selectOnActivation_ = false;
            return 0;
        }
        break;
    case WM_SETFOCUS: applyFocus(false); return 0;
    case kSyncFocus: {
        // The system moved the focus to a control by itself: tell the form now, and put the
        // focus back where the form keeps it when it did not accept the move.
        ControlWindow* cw = find(::GetFocus());
        if (cw == nullptr || cw->control().focused()) return 0;
        form_.focus(cw->control());
        if (!cw->control().focused()) applyFocus(false);
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
    default: break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK FormWindow::controlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data)
{
    auto& child = *reinterpret_cast<Child*>(data);
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(window, controlProc, kControlSubclass);
        unnameWindow(window);
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    dispatchGuarded(child.owner.form_.backend(),
                    [&] { result = child.owner.controlMessage(*child.window, message, wParam, lParam); });
    return result;
}

LRESULT FormWindow::controlMessage(ControlWindow& cw, UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND h = cw.handle();
    Control& control = cw.control();
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
        cw.keyDown(wParam);
        break;
    case WM_CHAR:
        // Tab, Enter and Escape were handled as keys.
        if (wParam == '\t' || wParam == '\r' || wParam == '\n' || wParam == 0x1b) return 0;
        if (!cw.typed(wParam)) return 0;
        break;
    default: break;
    }
    return ::DefSubclassProc(h, message, wParam, lParam);
}

}  // namespace talvorin::ui
