// StrToInt against std::from_chars: the same texts are numbers, with the same values.
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>

#include "formats/str_to_int.h"

namespace {

std::optional<int> model(const std::string& text)
{
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return std::nullopt;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    int base = 10;
    if (text.compare(i, 1, "$") == 0) {
        base = 16;
        i += 1;
    } else if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) {
        base = 16;
        i += 2;
    }
    const std::string digits = text.substr(i);
    if (digits.empty() || digits[0] == '+' || digits[0] == '-') return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    if (magnitude > static_cast<std::uint64_t>(limit)) return std::nullopt;
    return static_cast<int>(negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<int> got = talvorin::formats::tryStrToInt(text);
    if (got != model(text)) __builtin_trap();
    if (got) {
        if (talvorin::formats::StrToInt(text) != *got) __builtin_trap();
        if (talvorin::formats::tryStrToInt(std::to_string(*got)) != got) __builtin_trap();
    } else {
        try {
            talvorin::formats::StrToInt(text);
            __builtin_trap();
        } catch (const talvorin::formats::ConvertError&) {
        }
    }
    return 0;
}
