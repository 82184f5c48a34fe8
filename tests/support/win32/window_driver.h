#pragma once
// A person at the screen, for tests of the real windows under Windows (and Wine): finds
// windows and their controls from any process, reads what they show, and gives input the
// way a person does, through the system's keyboard and mouse (SendInput).

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace talvorin::testing::win32 {

using namespace std::chrono_literals;

// Looks every 20 ms whether `condition` holds, at most `timeout`; whether it came to hold.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 15s);

// A visible top-level window of this desktop with that class and caption (an empty one
// matches any); null when there is none.
HWND findTopWindow(const std::string& windowClass, const std::string& caption);
// The same, waited for; throws std::runtime_error naming it when it does not come.
HWND waitForTopWindow(const std::string& windowClass, const std::string& caption,
                      std::chrono::milliseconds timeout = 15s);
// Waits until the window is gone or hidden; whether it went.
bool waitUntilGone(HWND window, std::chrono::milliseconds timeout = 15s);

// The component name a window of the program carries; empty for any other window.
std::string nameOf(HWND window);
// The child window of `top` with that component name; throws std::runtime_error without one.
HWND control(HWND top, const std::string& name);
// Every child window of `top`, at any depth.
std::vector<HWND> children(HWND top);

std::string classOf(HWND window);
std::string textOf(HWND window);
LONG styleOf(HWND window);
LONG exStyleOf(HWND window);
bool enabled(HWND window);
bool visible(HWND window);
// Where a window is, relative to the client area of `reference` (the screen when null).
RECT rectIn(HWND window, HWND reference);
SIZE clientSize(HWND window);
// The window that has the keyboard focus in the thread that owns `top`.
HWND focusOf(HWND top);
// The colour the screen shows at a point of a window's client area.
COLORREF pixelAt(HWND window, int x, int y);
// Whether any pixel of the window's client area has that colour.
bool showsColour(HWND window, COLORREF colour);

// A message box of the system as it is shown.
struct MessageBoxSeen {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    std::vector<std::string> buttons;  // their captions, left to right
    HICON icon = nullptr;
};
// Waits for a message box (a dialog with the message text control) to appear.
MessageBoxSeen waitForMessageBox(std::chrono::milliseconds timeout = 15s);
// Brings the box to the front and presses the key; throws std::runtime_error when the box
// does not go.
void answerBox(const MessageBoxSeen& box, WORD virtualKey);
// The system's icon for a kind of box (IDI_WARNING, ...), to compare with MessageBoxSeen::icon.
HICON systemIcon(LPCSTR id);

// Input. The window is brought to the front first, so that the keys reach it.
void bringToFront(HWND top);
void typeText(const std::string& text);
void pressKey(WORD virtualKey, bool shift = false);
// A left click in the middle of the window, once it is there to be clicked (enabled, in front,
// uncovered) and the program is idle; throws std::runtime_error saying what is there instead.
void click(HWND window);
// The same, then waits until what it should bring about has come; whether it came.
bool clickThenWaitFor(HWND window, const std::function<bool()>& happened);
// Whether a message box is shown.
bool messageBoxShown();

// Saves what the screen shows of a window, frame included, as a PNG file (folders created).
void saveScreenshot(HWND window, const std::string& path);

// Runs `program` on this thread (it shows the windows and handles their messages) while
// `person` acts on a thread of its own; returns when both are done and rethrows what the
// person threw. A person that fails closes every box and window the program shows, so that
// the program ends too.
void withPerson(const std::function<void()>& program, const std::function<void()>& person);

}  // namespace talvorin::testing::win32
