#include <string>

#include "platform/foreign_text.h"
#include "platform/win32/handles.h"

namespace talvorin::platform {

std::string errorText(DWORD code)
{
    char buffer[512] = {};
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                          buffer, sizeof buffer, nullptr);
    std::string text = foreignLine(std::string_view(buffer, length));
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) return "system error " + std::to_string(code);
    return text;
}

}  // namespace talvorin::platform
