#include "ui/win32/win32_backend.h"

#include <algorithm>
#include <string>

#include "platform/wait.h"
#include "platform/win32/quit_request.h"
#include "ui/form.h"

namespace talvorin::ui {

namespace {

constexpr const char* kSessionWindowClass = "TalvorinSession";

LRESULT CALLBACK sessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_QUERYENDSESSION:
        // Agree, and stop starting tools: the session is going whatever we do.
        platform::win32::QuitRequest::instance().raise();
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) platform::win32::QuitRequest::instance().raise();
        return 0;
    case WM_CLOSE:
        platform::win32::QuitRequest::instance().raise();
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND createSessionWindow()
{
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = sessionWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kSessionWindowClass;
    ::RegisterClassA(&windowClass);  // fails harmlessly when a second backend registers again
    // A top-level window, never shown: message-only windows hear no session end.
    return ::CreateWindowExA(0, kSessionWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
}

// Line breaks of a message as one CR LF each, the way a text file on this system has them;
// every other character stays.
std::string boxText(const Box& box)
{
    std::string out = "[" + box.caption + "] ";
    const std::string& text = box.text;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            const char next = i + 1 < text.size() ? text[i + 1] : '\0';
            if ((next == '\r' || next == '\n') && next != c) ++i;
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out + "\r\n";
}

void writeStandardError(const std::string& text)
{
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) return;  // nobody to tell: the box is lost
    DWORD written = 0;
    ::WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

Win32Backend::Win32Backend() : sessionWindow_(createSessionWindow()), start_(std::chrono::steady_clock::now())
{
    platform::win32::QuitRequest::instance();  // installs the console handler
}

Win32Backend::~Win32Backend() = default;

std::chrono::milliseconds Win32Backend::now() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
}

bool Win32Backend::quitRequested() const { return platform::win32::QuitRequest::instance().requested(); }

int Win32Backend::msUntilNextTimer() const
{
    const auto next = nextDue();
    if (!next) return -1;
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, (*next - now()).count()));
}

void Win32Backend::processMessages()
{
    MSG message{};
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            platform::win32::QuitRequest::instance().raise();
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    fireDueTimers();
}

void Win32Backend::waitFor(platform::WaitHandle handle)
{
    if (quitRequested()) return;
    platform::waitForAny({handle, platform::win32::QuitRequest::instance().handle()}, msUntilNextTimer());
    processMessages();
}

void Win32Backend::run(Form& mainForm)
{
    while (!mainForm.isClosed()) {
        if (quitRequested()) {
            mainForm.close();
            break;
        }
        const int timeout = msUntilNextTimer();
        if (timeout < 0) {
            // No timer left and nothing else can close the window: waiting would hang.
            mainForm.close();
            break;
        }
        platform::waitForAny({platform::win32::QuitRequest::instance().handle()}, timeout);
        processMessages();
    }
}

Answer Win32Backend::messageBox(const Box& box)
{
    writeStandardError(boxText(box));
    return escapeAnswer(box.buttons);
}

ModalResult Win32Backend::showModal(Form&) { return ModalResult::Cancel; }

std::optional<std::string> Win32Backend::browseForFolder(const std::string&) { return std::nullopt; }

}  // namespace talvorin::ui
