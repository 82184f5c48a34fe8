#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The pieces of a .reg file's value lines, each read as regedit reads it. Portable, no
// system calls.
namespace talvorin::formats::reg::syntax {

constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }
constexpr bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::string_view skipBlanks(std::string_view s);

// Whether nothing but blanks, or blanks and a comment (';' onwards), is left: what may
// follow a value. A '#' starts no comment there.
bool endsHere(std::string_view rest);

struct Quoted {
    enum class Result {
        Text,            // a text and its closing quote
        NoClosingQuote,  // the line ends first
        Refused,         // \0 (regedit stores no text with a zero character in it), or a
                         // backslash that ends the line
    };
    Result result = Result::Text;
    std::string text;
    std::string_view rest;  // what follows the closing quote
};

// A quoted text, from the character after its opening quote: \\ and \" stand for the
// character, \n and \r for a line feed and a carriage return, and any other escaped
// character for itself (the backslash goes).
Quoted unquote(std::string_view afterQuote);

// The data after "dword:": at most eight hex digits between blanks, then the end or a
// comment. No digits before a comment read as 0, as regedit reads them.
std::optional<std::uint32_t> dwordData(std::string_view data);

// The type number of "hex(n):", from the character after "hex("; rest is what follows
// the colon.
std::optional<std::uint32_t> hexType(std::string_view afterParenthesis, std::string_view& rest);

enum class HexList {
    Complete,   // the data ends here
    Continued,  // a backslash: the data goes on in the next line that is neither blank nor a comment
    Invalid,    // the value is not imported
};

// Appends the bytes of a comma-separated list ("0a,ff,3") to data. Each byte is one or two
// hex digits after optional blanks; a comma must follow it at once, and a list may end in
// a comma. After the last byte or comma come blanks and then the end, a comment, or a
// backslash (itself followed by nothing but blanks or a comment).
HexList appendHexList(std::string_view list, std::string& data);

}  // namespace talvorin::formats::reg::syntax
