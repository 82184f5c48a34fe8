#include "ui/win32/gdi.h"

#include <cstring>
#include <string>

namespace talvorin::ui {
namespace {

LOGFONTA describe(const Font& font, const std::string& face)
{
    LOGFONTA lf{};
    const platform::UniqueWindowDc screen({nullptr, ::GetDC(nullptr)});
    lf.lfHeight = -::MulDiv(font.points, ::GetDeviceCaps(screen.get().second, LOGPIXELSY), 72);
    lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = font.underline ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    std::strncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    return lf;
}

std::string dialogFace()
{
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return {};
    return metrics.lfMessageFont.lfFaceName;
}

}  // namespace

COLORREF colorOf(Color c)
{
    switch (c) {
    case Color::Window: return ::GetSysColor(COLOR_WINDOW);
    case Color::ButtonFace: return ::GetSysColor(COLOR_BTNFACE);
    case Color::WindowText: return ::GetSysColor(COLOR_WINDOWTEXT);
    case Color::Blue: return RGB(0, 0, 255);
    }
    return ::GetSysColor(COLOR_WINDOWTEXT);
}

HBRUSH brushOf(Color c)
{
    switch (c) {
    case Color::Window: return ::GetSysColorBrush(COLOR_WINDOW);
    case Color::ButtonFace: return ::GetSysColorBrush(COLOR_BTNFACE);
    case Color::WindowText: return ::GetSysColorBrush(COLOR_WINDOWTEXT);
    case Color::Blue: break;
    }
    return static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));  // no background is blue
}

HCURSOR systemCursor(Cursor c)
{
    switch (c) {
    case Cursor::Default: break;
    case Cursor::HandPoint: return ::LoadCursorA(nullptr, IDC_HAND);
    case Cursor::SqlWait: return ::LoadCursorA(nullptr, IDC_WAIT);
    }
    return ::LoadCursorA(nullptr, IDC_ARROW);
}

std::string actualFace(HFONT font)
{
    const platform::UniqueWindowDc screen({nullptr, ::GetDC(nullptr)});
    const HDC dc = screen.get().second;
    const HGDIOBJ old = ::SelectObject(dc, font);
    char face[LF_FACESIZE] = {};
    ::GetTextFaceA(dc, LF_FACESIZE, face);
    ::SelectObject(dc, old);
    return face;
}

HFONT FontCache::get(const Font& font)
{
    for (const auto& [described, handle] : fonts_)
        if (described == font) return static_cast<HFONT>(handle.get());
    LOGFONTA lf = describe(font, font.face);
    platform::UniqueGdiObject created(::CreateFontIndirectA(&lf));
    // The system gives a font of another face when it lacks the one asked for: its dialog
    // font is then the closer match.
    if (created && _stricmp(actualFace(static_cast<HFONT>(created.get())).c_str(), font.face.c_str()) != 0) {
        const std::string fallback = dialogFace();
        if (!fallback.empty()) {
            lf = describe(font, fallback);
            created.reset(::CreateFontIndirectA(&lf));
        }
    }
    const auto handle = static_cast<HFONT>(created.get());
    fonts_.emplace_back(font, std::move(created));
    return handle;
}

}  // namespace talvorin::ui
