#include "ui/win32/painted_controls.h"

#include <string>

namespace talvorin::ui {
namespace {

// The window's extra bytes.
constexpr int kColorSlot = 0;
constexpr int kFontSlot = sizeof(LONG_PTR);
constexpr int kStateSlot = 2 * sizeof(LONG_PTR);
constexpr int kExtraBytes = 3 * sizeof(LONG_PTR);

// Speed button states.
constexpr LONG_PTR kTracking = 1;  // the mouse went down on it and has not come up
constexpr LONG_PTR kPressed = 2;   // drawn pushed in: tracking with the mouse over it

LONG_PTR slot(HWND h, int index) { return ::GetWindowLongPtrA(h, index); }
void setSlot(HWND h, int index, LONG_PTR value) { ::SetWindowLongPtrA(h, index, value); }

// Messages both classes answer alike; false when the message is none of them.
bool commonMessage(HWND h, UINT message, WPARAM wParam, LRESULT& result)
{
    switch (message) {
    case kSetPaintColor:
        setSlot(h, kColorSlot, static_cast<LONG_PTR>(wParam));
        ::InvalidateRect(h, nullptr, TRUE);
        result = 0;
        return true;
    case kGetPaintColor: result = slot(h, kColorSlot); return true;
    case WM_SETFONT:
        setSlot(h, kFontSlot, static_cast<LONG_PTR>(wParam));
        ::InvalidateRect(h, nullptr, TRUE);
        result = 0;
        return true;
    case WM_GETFONT: result = slot(h, kFontSlot); return true;
    case WM_ENABLE:
        ::InvalidateRect(h, nullptr, TRUE);
        result = 0;
        return true;
    default: return false;
    }
}

void paintSpeedButton(HWND h, HDC dc)
{
    RECT r;
    ::GetClientRect(h, &r);
    const bool pressed = (slot(h, kStateSlot) & kPressed) != 0;
    ::DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    char text[64] = {};
    ::GetWindowTextA(h, text, sizeof text);
    const HGDIOBJ oldFont = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(slot(h, kFontSlot)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc,
                   ::IsWindowEnabled(h) ? static_cast<COLORREF>(slot(h, kColorSlot)) : ::GetSysColor(COLOR_GRAYTEXT));
    if (pressed) ::OffsetRect(&r, 1, 1);
    ::DrawTextA(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, oldFont);
}

bool mouseInside(HWND h, LPARAM lParam)
{
    RECT r;
    ::GetClientRect(h, &r);
    const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return ::PtInRect(&r, p) != FALSE;
}

void setState(HWND h, LONG_PTR state)
{
    if (slot(h, kStateSlot) == state) return;
    setSlot(h, kStateSlot, state);
    ::InvalidateRect(h, nullptr, TRUE);
}

LRESULT CALLBACK speedButtonProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (commonMessage(h, message, wParam, result)) return result;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = ::BeginPaint(h, &ps);
        paintSpeedButton(h, dc);
        ::EndPaint(h, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // No SetFocus: the focus stays where it is, so no field's exit check runs.
        ::SetCapture(h);
        setState(h, kTracking | kPressed);
        return 0;
    case WM_MOUSEMOVE:
        if (slot(h, kStateSlot) & kTracking) setState(h, kTracking | (mouseInside(h, lParam) ? kPressed : 0));
        return 0;
    case WM_LBUTTONUP: {
        const bool click = (slot(h, kStateSlot) & kTracking) && mouseInside(h, lParam);
        ::ReleaseCapture();
        setState(h, 0);
        if (click)
            ::SendMessageA(::GetParent(h), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(h), BN_CLICKED),
                           reinterpret_cast<LPARAM>(h));
        return 0;
    }
    case WM_CAPTURECHANGED: setState(h, 0); return 0;
    case WM_SETTEXT: {
        const LRESULT r = ::DefWindowProcA(h, message, wParam, lParam);
        ::InvalidateRect(h, nullptr, TRUE);
        return r;
    }
    default: return ::DefWindowProcA(h, message, wParam, lParam);
    }
}

LRESULT CALLBACK shapeProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (commonMessage(h, message, wParam, result)) return result;
    if (message != WM_PAINT) return ::DefWindowProcA(h, message, wParam, lParam);
    PAINTSTRUCT ps;
    const HDC dc = ::BeginPaint(h, &ps);
    RECT r;
    ::GetClientRect(h, &r);
    const HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(BLACK_PEN));
    const HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
    ::SetDCBrushColor(dc, static_cast<COLORREF>(slot(h, kColorSlot)));
    ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
    ::EndPaint(h, &ps);
    return 0;
}

void registerClass(HINSTANCE instance, const char* name, WNDPROC proc, HCURSOR cursor)
{
    WNDCLASSA c{};
    c.style = CS_DBLCLKS;
    c.lpfnWndProc = proc;
    c.cbWndExtra = kExtraBytes;
    c.hInstance = instance;
    c.hCursor = cursor;
    c.lpszClassName = name;
    ::RegisterClassA(&c);  // a second registration fails harmlessly
}

}  // namespace

void registerPaintedControls(HINSTANCE instance)
{
    registerClass(instance, kSpeedButtonClass, speedButtonProc, ::LoadCursorA(nullptr, IDC_ARROW));
    registerClass(instance, kShapeClass, shapeProc, ::LoadCursorA(nullptr, IDC_ARROW));
}

}  // namespace talvorin::ui
