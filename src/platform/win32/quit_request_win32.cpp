#include "platform/win32/quit_request.h"

namespace talvorin::platform {

namespace {

BOOL WINAPI onConsoleControl(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: QuitRequest::instance().raise(); return TRUE;
    default: return FALSE;
    }
}

}  // namespace

QuitRequest::QuitRequest() : event_(::CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

QuitRequest& QuitRequest::instance()
{
    static QuitRequest request;
    return request;
}

void QuitRequest::raise()
{
    requested_.store(true);
    if (event_) ::SetEvent(event_.get());
}

}  // namespace talvorin::platform
