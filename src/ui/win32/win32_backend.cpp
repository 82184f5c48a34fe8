#include "ui/win32/win32_backend.h"

#include <algorithm>
#include <string>

#include "platform/scope_exit.h"
#include "platform/wait.h"
#include "platform/win32/folder_chooser.h"
#include "platform/win32/quit_request.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/handler_guard.h"
#include "ui/win32/form_window.h"
#include "ui/win32/gdi.h"
#include "ui/win32/message_boxes.h"

namespace talvorin::ui {

namespace {

constexpr const char* kSessionWindowClass = "TalvorinSession";
constexpr UINT_PTR kWidgetTimer = 1;

platform::QuitRequest& quitRequest() { return platform::QuitRequest::instance(); }

}  // namespace

LRESULT CALLBACK Win32Backend::sessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (auto* self = reinterpret_cast<Win32Backend*>(::GetWindowLongPtrA(window, GWLP_USERDATA)))
            dispatchGuarded(*self, [self] { self->timers_.fireDue(); });
        return 0;
    case WM_QUERYENDSESSION:
        // Agree, and stop starting tools: the session is going whatever we do.
        quitRequest().raise();
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) quitRequest().raise();
        return 0;
    case WM_CLOSE: quitRequest().raise(); return 0;
    default: return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

Win32Backend::Mode Win32Backend::modeForThisSession()
{
    char value[2] = {};
    const DWORD length = ::GetEnvironmentVariableA("TALVORIN_UNATTENDED", value, sizeof value);
    if (length > 1 || (length == 1 && value[0] != '0')) return Mode::Unattended;
    USEROBJECTFLAGS flags{};
    const HWINSTA station = ::GetProcessWindowStation();
    if (station != nullptr && ::GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
        (flags.dwFlags & WSF_VISIBLE) == 0)
        return Mode::Unattended;
    return Mode::Attended;
}

Win32Backend::Win32Backend(Mode mode) : mode_(mode), start_(std::chrono::steady_clock::now())
{
    quitRequest();  // installs the console handler
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = sessionWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kSessionWindowClass;
    ::RegisterClassA(&windowClass);  // fails harmlessly when a second backend registers again
    // A top-level window, never shown: message-only windows hear no session end.
    sessionWindow_.reset(
        ::CreateWindowExA(0, kSessionWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr));
    if (sessionWindow_)
        ::SetWindowLongPtrA(sessionWindow_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    else
        mode_ = Mode::Unattended;  // no desktop to draw on
}

Win32Backend::~Win32Backend()
{
    windows_.clear();
    if (sessionWindow_) ::SetWindowLongPtrA(sessionWindow_.get(), GWLP_USERDATA, 0);
}

std::chrono::milliseconds Win32Backend::now() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
}

bool Win32Backend::quitRequested() const { return quitRequest().requested(); }

void Win32Backend::timersChanged()
{
    if (!sessionWindow_) return;
    const int ms = timers_.msUntilNext();
    if (ms < 0)
        ::KillTimer(sessionWindow_.get(), kWidgetTimer);
    else
        ::SetTimer(sessionWindow_.get(), kWidgetTimer, std::max<UINT>(static_cast<UINT>(ms), USER_TIMER_MINIMUM),
                   nullptr);
}

void Win32Backend::processMessages()
{
    MSG message{};
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitRequest().raise();
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    timers_.fireDue();
}

void Win32Backend::waitForMessages() const
{
    const int timeout = timers_.msUntilNext();
    if (platform::waitForAny({quitRequest().handle()}, timeout) == platform::kWaitFailed)
        platform::pauseAfterFailedWait(timeout);
}

void Win32Backend::waitFor(platform::WaitHandle handle)
{
    if (quitRequested()) return;
    const int timeout = timers_.msUntilNext();
    if (platform::waitForAny({handle, quitRequest().handle()}, timeout) == platform::kWaitFailed)
        platform::pauseAfterFailedWait(timeout);
    processMessages();
}

void Win32Backend::run(Form& mainForm)
{
    while (!mainForm.isClosed()) {
        if (quitRequested()) {
            mainForm.close();
            break;
        }
        if (!timers_.nextDue()) {
            // No timer left and nothing else can close the window: waiting would hang.
            mainForm.close();
            break;
        }
        waitForMessages();
        processMessages();
    }
}

Answer Win32Backend::messageBox(const Box& box)
{
    // Nobody may be there to answer once the session ends.
    if (!attended() || quitRequested()) {
        writeUnattendedBox(box);
        return escapeAnswer(box.buttons);
    }
    return showMessageBox(topWindow(), box);
}

ModalResult Win32Backend::showModal(Form& form)
{
    if (!attended()) {
        writeUnattendedDialog(form.caption());
        return ModalResult::Cancel;
    }
    // Every other window of the program is disabled while it is up.
    std::vector<HWND> disabled;
    for (const auto& [other, window] : windows_)
        if (other != &form && ::IsWindowEnabled(window->handle())) {
            ::EnableWindow(window->handle(), FALSE);
            disabled.push_back(window->handle());
        }
    modal_.push_back(&form);
    const auto restore = platform::scopeExit([&] {
        // The owners first, so that one of them becomes active when the form goes.
        for (HWND h : disabled) ::EnableWindow(h, TRUE);
        modal_.pop_back();
        if (FormWindow* window = windowFor(form)) window->hide();
    });
    form.show();
    while (form.modalResult() == ModalResult::None && !quitRequested() && windowFor(form) != nullptr) {
        waitForMessages();
        processMessages();
    }
    if (form.modalResult() == ModalResult::None) form.setModalResult(ModalResult::Cancel);
    return form.modalResult();
}

std::optional<std::string> Win32Backend::browseForFolder(const std::string& title)
{
    if (!attended() || quitRequested()) return std::nullopt;
    return platform::chooseFolder(topWindow(), title);
}

void Win32Backend::setCursor(Cursor cursor)
{
    cursor_ = cursor;
    // Shown at once: the program may hold the thread (a connection test) until it changes back.
    if (attended()) ::SetCursor(systemCursor(cursor));
}

platform::WindowHandle Win32Backend::mainWindow() const
{
    const FormWindow* window = mainForm_ != nullptr ? windowFor(*mainForm_) : nullptr;
    return window != nullptr ? window->handle() : platform::kNoWindow;
}

Size Win32Backend::screenSize() const { return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}; }

Size Win32Backend::windowSize(const Form& form) const { return outerSize(form); }

FormWindow* Win32Backend::windowFor(const Form& form) const
{
    for (const auto& [f, window] : windows_)
        if (f == &form) return window.get();
    return nullptr;
}

HWND Win32Backend::windowOf(const Form& form) const
{
    const FormWindow* window = windowFor(form);
    return window != nullptr ? window->handle() : nullptr;
}

HWND Win32Backend::topWindow() const
{
    for (auto it = modal_.rbegin(); it != modal_.rend(); ++it)
        if (HWND h = windowOf(**it)) return h;
    if (mainForm_ != nullptr && !mainForm_->isClosed()) return windowOf(*mainForm_);
    return nullptr;
}

void Win32Backend::formShowing(Form& form)
{
    if (!attended() || windowFor(form) != nullptr) return;
    if (mainForm_ == nullptr) mainForm_ = &form;
    const HWND owner = &form != mainForm_ ? windowOf(*mainForm_) : nullptr;
    try {
        windows_.emplace_back(&form, std::make_unique<FormWindow>(form, owner, cursor_));
    } catch (const std::exception& e) {
        // No window can be drawn after all: the run goes on as if nobody watched it.
        mode_ = Mode::Unattended;
        writeUnattendedBox(Box::applicationError(e.what()));
    }
}

void Win32Backend::formShown(const Form& form)
{
    if (FormWindow* window = windowFor(form)) window->show();
}

void Win32Backend::formMoved(const Form& form)
{
    if (FormWindow* window = windowFor(form)) window->moved();
}

void Win32Backend::formClosed(const Form& form)
{
    if (FormWindow* window = windowFor(form)) window->hide();
}

void Win32Backend::controlChanged(const Control& control, Change what)
{
    if (FormWindow* window = windowFor(control.owner())) window->changed(control, what);
}

void Win32Backend::focusChanged(const Form& form, const Control* control)
{
    if (FormWindow* window = windowFor(form)) window->focusChanged(control);
}

void Win32Backend::controlRemoved(const Control& control)
{
    if (FormWindow* window = windowFor(control.owner())) window->removed(control);
}

void Win32Backend::formDestroyed(const Form& form)
{
    std::erase_if(windows_, [&](const auto& entry) { return entry.first == &form; });
    if (mainForm_ == &form) mainForm_ = nullptr;
}

}  // namespace talvorin::ui
