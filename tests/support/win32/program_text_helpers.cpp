#include "support/program_text.h"

#include <vector>

#include "platform/win32/windows_api.h"

namespace talvorin::testing {

std::optional<std::string> programText(const std::string& utf8)
{
    if (utf8.empty()) return utf8;
    const int size = static_cast<int>(utf8.size());
    const int units = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (units == 0) return std::nullopt;
    std::vector<wchar_t> wide(static_cast<std::size_t>(units));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), units);
    // No best fit: "ā" must not pass for "a".
    BOOL lost = FALSE;
    const int bytes = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, nullptr, 0, nullptr,
                                            &lost);
    if (bytes == 0 || lost) return std::nullopt;
    std::string out(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace talvorin::testing
