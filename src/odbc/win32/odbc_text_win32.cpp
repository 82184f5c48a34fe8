// The program's text is in the ANSI code page on Windows: the system converts it.
#include "odbc/odbc_text.h"

namespace talvorin::odbc {

OdbcText toOdbcText(const std::string& text)
{
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    OdbcText out(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, reinterpret_cast<wchar_t*>(out.data()), length);
    return out;
}

std::string fromOdbcText(const SQLWCHAR* text, std::size_t length)
{
    if (length == 0) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text);
    const int size = static_cast<int>(length);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, size, out.data(), bytes, nullptr, nullptr);
    return out;
}

bool driverManagerNarrowsConnectionStrings() { return false; }

}  // namespace talvorin::odbc
