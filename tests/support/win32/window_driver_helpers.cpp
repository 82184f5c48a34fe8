#include "support/win32/window_driver.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace talvorin::testing::win32 {
namespace {

constexpr int kMessageTextId = 0xFFFF;

struct TopSearch {
    std::string windowClass, caption;
    HWND found = nullptr;
};

BOOL CALLBACK matchTop(HWND window, LPARAM data)
{
    auto& search = *reinterpret_cast<TopSearch*>(data);
    if (!::IsWindowVisible(window)) return TRUE;
    if (!search.windowClass.empty() && classOf(window) != search.windowClass) return TRUE;
    if (!search.caption.empty() && textOf(window) != search.caption) return TRUE;
    search.found = window;
    return FALSE;
}

// A named function: on i686 a lambda converts only to a cdecl pointer, and the callback is stdcall.
BOOL CALLBACK collectChild(HWND child, LPARAM data)
{
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
    return TRUE;
}

void sendKey(WORD virtualKey, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    ::SendInput(1, &input, sizeof input);
}

// PNG with "stored" (uncompressed) deflate blocks: every reader takes it, no library needed.
std::uint32_t crc32(const std::string& bytes, std::uint32_t crc = 0xFFFFFFFFu)
{
    for (const unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

std::string bigEndian(std::uint32_t v)
{
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string chunk(const std::string& type, const std::string& data)
{
    return bigEndian(static_cast<std::uint32_t>(data.size())) + type + data + bigEndian(~crc32(type + data));
}

std::string png(int width, int height, const std::string& rgbRows)
{
    std::string raw;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y) raw += '\0' + rgbRows.substr(static_cast<std::size_t>(y) * rowBytes, rowBytes);
    std::string zlib = "\x78\x01";
    for (std::size_t pos = 0; pos < raw.size() || pos == 0; pos += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
        const bool last = pos + n >= raw.size();
        zlib += static_cast<char>(last ? 1 : 0);
        zlib += static_cast<char>(n & 0xFF);
        zlib += static_cast<char>(n >> 8);
        zlib += static_cast<char>(~n & 0xFF);
        zlib += static_cast<char>((~n >> 8) & 0xFF);
        zlib += raw.substr(pos, n);
        if (last) break;
    }
    std::uint32_t a = 1, b = 0;
    for (const unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    zlib += bigEndian((b << 16) | a);
    const std::string header = bigEndian(static_cast<std::uint32_t>(width)) +
                               bigEndian(static_cast<std::uint32_t>(height)) + std::string("\x08\x02\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", zlib) + chunk("IEND", "");
}

}  // namespace

std::vector<HWND> children(HWND top)
{
    std::vector<HWND> out;
    ::EnumChildWindows(top, collectChild, reinterpret_cast<LPARAM>(&out));
    return out;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
}

HWND findTopWindow(const std::string& windowClass, const std::string& caption)
{
    TopSearch search{windowClass, caption};
    ::EnumWindows(matchTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForTopWindow(const std::string& windowClass, const std::string& caption, std::chrono::milliseconds timeout)
{
    HWND found = nullptr;
    waitUntil([&] { return (found = findTopWindow(windowClass, caption)) != nullptr; }, timeout);
    if (found == nullptr) throw std::runtime_error("no window \"" + caption + "\" of class " + windowClass + " came");
    return found;
}

bool waitUntilGone(HWND window, std::chrono::milliseconds timeout)
{
    return waitUntil([&] { return !::IsWindow(window) || !::IsWindowVisible(window); }, timeout);
}

std::string nameOf(HWND window)
{
    const auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(::GetPropA(window, "TalvorinName")));
    if (atom == 0) return {};
    char name[256] = {};
    ::GlobalGetAtomNameA(atom, name, sizeof name);
    return name;
}

HWND control(HWND top, const std::string& name)
{
    for (HWND child : children(top))
        if (nameOf(child) == name) return child;
    throw std::runtime_error("the window has no control " + name);
}

std::string classOf(HWND window)
{
    char name[256] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

std::string textOf(HWND window)
{
    // WM_GETTEXT, not GetWindowText: the latter does not ask another process's controls.
    char text[4096] = {};
    ::SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                          nullptr);
    return text;
}

LONG styleOf(HWND window) { return ::GetWindowLongA(window, GWL_STYLE); }
LONG exStyleOf(HWND window) { return ::GetWindowLongA(window, GWL_EXSTYLE); }
bool enabled(HWND window) { return ::IsWindowEnabled(window) != FALSE; }
bool visible(HWND window) { return ::IsWindowVisible(window) != FALSE; }

RECT rectIn(HWND window, HWND reference)
{
    RECT r{};
    ::GetWindowRect(window, &r);
    if (reference != nullptr) ::MapWindowPoints(nullptr, reference, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE clientSize(HWND window)
{
    RECT r{};
    ::GetClientRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

HWND focusOf(HWND top)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(top, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

COLORREF pixelAt(HWND window, int x, int y)
{
    POINT p{x, y};
    ::ClientToScreen(window, &p);
    const HDC screen = ::GetDC(nullptr);
    const COLORREF c = ::GetPixel(screen, p.x, p.y);
    ::ReleaseDC(nullptr, screen);
    return c;
}

bool showsColour(HWND window, COLORREF colour)
{
    const SIZE size = clientSize(window);
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x)
            if (pixelAt(window, x, y) == colour) return true;
    return false;
}

MessageBoxSeen waitForMessageBox(std::chrono::milliseconds timeout)
{
    MessageBoxSeen seen;
    waitUntil(
        [&] {
            for (HWND h = ::GetTopWindow(nullptr); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT))
                if (::IsWindowVisible(h) && classOf(h) == "#32770" && ::GetDlgItem(h, kMessageTextId) != nullptr) {
                    seen.window = h;
                    return true;
                }
            return false;
        },
        timeout);
    if (seen.window == nullptr) {
        // What the person saw instead, so that a failure under load can be told apart.
        const HWND front = ::GetForegroundWindow();
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        const HWND focus = front != nullptr && ::GetGUIThreadInfo(::GetWindowThreadProcessId(front, nullptr), &gui)
                               ? gui.hwndFocus
                               : nullptr;
        throw std::runtime_error("no message box came (in front: " +
                                 (front != nullptr ? classOf(front) + " \"" + textOf(front) + "\"" : "nothing") +
                                 ", focus: " + (focus != nullptr ? classOf(focus) + " " + nameOf(focus) : "none") +
                                 ")");
    }
    seen.caption = textOf(seen.window);
    seen.text = textOf(::GetDlgItem(seen.window, kMessageTextId));
    std::vector<HWND> buttons;
    for (HWND child : children(seen.window)) {
        if (classOf(child) == "Button" && visible(child)) buttons.push_back(child);
        if (classOf(child) == "Static" && (styleOf(child) & SS_TYPEMASK) == SS_ICON)
            seen.icon = reinterpret_cast<HICON>(::SendMessageA(child, STM_GETICON, 0, 0));
    }
    std::sort(buttons.begin(), buttons.end(),
              [](HWND a, HWND b) { return rectIn(a, nullptr).left < rectIn(b, nullptr).left; });
    for (HWND b : buttons) seen.buttons.push_back(textOf(b));
    return seen;
}

void answerBox(const MessageBoxSeen& box, WORD virtualKey)
{
    bringToFront(box.window);
    pressKey(virtualKey);
    if (!waitUntilGone(box.window)) throw std::runtime_error("the box \"" + box.caption + "\" stayed open");
}

HICON systemIcon(LPCSTR id) { return ::LoadIconA(nullptr, id); }

void bringToFront(HWND top)
{
    if (::GetForegroundWindow() != top) ::SetForegroundWindow(top);
    waitUntil([&] { return ::GetForegroundWindow() == top; }, 5s);
}

// A person waits until the window in front takes input again: a box that has just gone
// leaves its owner disabled, and without a window in front for a moment, until the program
// has come back from it. Input in between would be lost. After a while they go on anyway.
static void waitUntilInFrontTakesInput()
{
    waitUntil(
        [] {
            const HWND front = ::GetForegroundWindow();
            return front != nullptr && ::IsWindowEnabled(front);
        },
        5s);
}

void pressKey(WORD virtualKey, bool shift)
{
    waitUntilInFrontTakesInput();
    if (shift) sendKey(VK_SHIFT, false);
    sendKey(virtualKey, false);
    sendKey(virtualKey, true);
    if (shift) sendKey(VK_SHIFT, true);
}

void typeText(const std::string& text)
{
    for (const char c : text) {
        if (c == '\b') {
            pressKey(VK_BACK);
            continue;
        }
        const SHORT key = ::VkKeyScanA(c);
        pressKey(static_cast<WORD>(key & 0xFF), (key & 0x100) != 0);
    }
}

// What a person sees at a point of the screen, for a failure message.
static std::string describeAt(POINT p)
{
    const HWND at = ::WindowFromPoint(p);
    std::string what = at == nullptr ? "nothing" : classOf(at) + " \"" + textOf(at) + "\"";
    if (at != nullptr && !nameOf(at).empty()) what += " (" + nameOf(at) + ")";
    const HWND front = ::GetForegroundWindow();
    return what + " at " + std::to_string(p.x) + "," + std::to_string(p.y) +
           "; in front: " + (front == nullptr ? "nothing" : classOf(front) + " \"" + textOf(front) + "\"") +
           (front != nullptr && !::IsWindowEnabled(front) ? " (disabled)" : "");
}

void click(HWND window)
{
    const HWND root = ::GetAncestor(window, GA_ROOT);
    bringToFront(root);
    waitUntilInFrontTakesInput();
    const RECT r = rectIn(window, nullptr);
    const POINT target{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    // Only a window that the system's own hit test finds there, enabled and uncovered, is
    // clickable, as for a person's hand.
    if (!waitUntil([&] { return ::IsWindowEnabled(root) && ::WindowFromPoint(target) == window; }, 15s))
        throw std::runtime_error("cannot click " + nameOf(window) + ": " + describeAt(target));
    // And only once the program has dealt with what came before (the activation that follows a
    // box, which would take the focus back from a button being pressed), as a person's hand
    // takes a moment to get there.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(root, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &ignored);
    std::this_thread::sleep_for(150ms);
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
    // Every event says where it happens: a button event that took the pointer's position as
    // it was could land where the pointer had been a moment before.
    INPUT inputs[3] = {};
    const DWORD flags[3] = {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 3; ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dx = target.x * 65535 / (w - 1);
        inputs[i].mi.dy = target.y * 65535 / (h - 1);
        inputs[i].mi.dwFlags = flags[i] | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    ::SendInput(1, &inputs[0], sizeof(INPUT));
    waitUntil(
        [&] {
            POINT p{};
            return ::GetCursorPos(&p) && p.x == target.x && p.y == target.y;
        },
        5s);
    // Two clicks of one place within the double-click time are a double click, which a
    // person who opened a window and answered a box in between never makes.
    static std::chrono::steady_clock::time_point lastClick;
    const auto apart = std::chrono::milliseconds(::GetDoubleClickTime()) + 100ms;
    if (const auto since = std::chrono::steady_clock::now() - lastClick; since < apart)
        std::this_thread::sleep_for(apart - since);
    ::SendInput(2, &inputs[1], sizeof(INPUT));
    lastClick = std::chrono::steady_clock::now();
}

bool clickThenWaitFor(HWND window, const std::function<bool()>& happened)
{
    const RECT r = rectIn(window, nullptr);
    click(window);
    if (waitUntil(happened, 15s)) return true;
    std::fprintf(stderr, "The click on %s brought nothing about; there now: %s\n", nameOf(window).c_str(),
                 describeAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2}).c_str());
    return false;
}

bool messageBoxShown()
{
    for (HWND h = ::GetTopWindow(nullptr); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT))
        if (::IsWindowVisible(h) && classOf(h) == "#32770" && ::GetDlgItem(h, kMessageTextId) != nullptr) return true;
    return false;
}

void saveScreenshot(HWND window, const std::string& path)
{
    const RECT r = rectIn(window, nullptr);
    const int width = r.right - r.left, height = r.bottom - r.top;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    std::string rgb;
    rgb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    const auto* pixels = static_cast<const unsigned char*>(bits);
    for (int i = 0; i < width * height; ++i) {
        rgb += static_cast<char>(pixels[4 * i + 2]);
        rgb += static_cast<char>(pixels[4 * i + 1]);
        rgb += static_cast<char>(pixels[4 * i]);
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << png(width, height, rgb);
}

void withPerson(const std::function<void()>& program, const std::function<void()>& person)
{
    std::atomic<bool> programDone{false};
    std::exception_ptr personFailure;
    std::thread thread([&] {
        try {
            person();
            if (!waitUntil([&] { return programDone.load(); }, 20s))
                throw std::runtime_error("the program did not end when the person was done");
        } catch (...) {
            personFailure = std::current_exception();
            // Whatever the program shows now waits for an answer nobody gives: close it.
            const DWORD self = ::GetCurrentProcessId();
            waitUntil(
                [&] {
                    for (HWND h = ::GetTopWindow(nullptr); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT)) {
                        DWORD pid = 0;
                        ::GetWindowThreadProcessId(h, &pid);
                        if (pid != self || !::IsWindowVisible(h) || classOf(h) == "TalvorinSession") continue;
                        if (classOf(h) == "#32770") {
                            // Whichever of them the box has ends it.
                            ::PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
                            ::PostMessageA(h, WM_COMMAND, IDNO, 0);
                        } else {
                            ::PostMessageA(h, WM_CLOSE, 0, 0);
                        }
                    }
                    return programDone.load();
                },
                30s);
        }
    });
    std::exception_ptr programFailure;
    try {
        program();
    } catch (...) {
        programFailure = std::current_exception();
    }
    programDone = true;
    thread.join();
    if (personFailure) std::rethrow_exception(personFailure);
    if (programFailure) std::rethrow_exception(programFailure);
}

}  // namespace talvorin::testing::win32
