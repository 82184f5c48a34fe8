#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace talvorin::formats {

// A text that is no 32-bit whole number; the message is the one the product shows.
class ConvertError : public std::runtime_error {
public:
    explicit ConvertError(const std::string& text) : std::runtime_error("'" + text + "' is not a valid integer value")
    {
    }
};

// Reads a whole number the way the product always has: leading blanks, an optional
// sign, decimal digits (or hexadecimal after "$" or "0x"), nothing after them, and within
// 32 bits. nullopt otherwise.
std::optional<int> tryStrToInt(const std::string& text);

// As tryStrToInt, throwing ConvertError.
int StrToInt(const std::string& text);

}  // namespace talvorin::formats
