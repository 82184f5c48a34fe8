#pragma once

#include <chrono>

#include "platform/win32/handles.h"
#include "ui/backend.h"

namespace talvorin::ui {

// The Windows front end's message loop: window messages, the widget layer's timers, waits
// that keep both going, and the quit request (WM_QUIT, the session ending, Ctrl+C or
// Ctrl+Break). Boxes and dialogs are not drawn yet: every box goes to standard error as
// "[Caption] text" and is answered as Escape would answer it, and a modal form ends as
// Cancel, so a run never waits for an answer that nobody can give.
class Win32Backend : public Backend {
public:
    Win32Backend();
    ~Win32Backend() override;
    Win32Backend(const Win32Backend&) = delete;
    Win32Backend& operator=(const Win32Backend&) = delete;

    void processMessages() override;
    void waitFor(platform::WaitHandle handle) override;
    bool quitRequested() const override;
    Answer messageBox(const Box& box) override;
    ModalResult showModal(Form& form) override;
    void run(Form& mainForm) override;
    void setCursor(Cursor) override {}
    std::optional<std::string> browseForFolder(const std::string& title) override;

    // The hidden window that hears the session end; it owns nothing the user could see.
    platform::WindowHandle sessionWindow() const { return sessionWindow_.get(); }

protected:
    std::chrono::milliseconds now() const override;

private:
    int msUntilNextTimer() const;

    platform::win32::UniqueWindow sessionWindow_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace talvorin::ui
