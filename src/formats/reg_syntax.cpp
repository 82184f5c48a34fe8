#include "formats/reg_syntax.h"

namespace talvorin::formats::reg::syntax {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The hex number at the start of s (after blanks and an optional 0x, as the C runtime's
// wcstoul reads one); the digits' count is 0 when there is none. The value saturates.
struct Number {
    std::uint64_t value = 0;
    std::size_t digits = 0;
    std::string_view rest;
};

Number hexNumber(std::string_view s)
{
    s = skipBlanks(s);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && hexDigit(s[2]) >= 0) s.remove_prefix(2);
    Number n;
    while (n.digits < s.size() && hexDigit(s[n.digits]) >= 0) {
        if (n.value <= 0xFFFFFFFFull) n.value = n.value * 16 + static_cast<std::uint64_t>(hexDigit(s[n.digits]));
        ++n.digits;
    }
    n.rest = s.substr(n.digits);
    return n;
}

}  // namespace

std::string_view skipBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    return s;
}

bool endsHere(std::string_view rest)
{
    rest = skipBlanks(rest);
    return rest.empty() || rest.front() == ';';
}

Quoted unquote(std::string_view afterQuote)
{
    Quoted out;
    for (std::size_t i = 0; i < afterQuote.size(); ++i) {
        const char c = afterQuote[i];
        if (c == '"') {
            out.rest = afterQuote.substr(i + 1);
            return out;
        }
        if (c != '\\') {
            out.text += c;
            continue;
        }
        if (++i == afterQuote.size() || afterQuote[i] == '0') {
            out.result = Quoted::Result::Refused;
            return out;
        }
        switch (afterQuote[i]) {
        case 'n': out.text += '\n'; break;
        case 'r': out.text += '\r'; break;
        default: out.text += afterQuote[i]; break;
        }
    }
    out.result = Quoted::Result::NoClosingQuote;
    return out;
}

std::optional<std::uint32_t> dwordData(std::string_view data)
{
    data = skipBlanks(data);
    if (data.empty()) return std::nullopt;
    std::size_t digits = 0;
    std::uint32_t value = 0;
    while (digits < data.size() && hexDigit(data[digits]) >= 0) {
        value = value * 16u + static_cast<std::uint32_t>(hexDigit(data[digits]));
        ++digits;
    }
    if (digits > 8 || !endsHere(data.substr(digits))) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> hexType(std::string_view afterParenthesis, std::string_view& rest)
{
    // "hex(0x2)" is refused, not read as 2.
    if (afterParenthesis.size() > 1 && (afterParenthesis[1] == 'x' || afterParenthesis[1] == 'X')) return std::nullopt;
    const Number n = hexNumber(afterParenthesis);
    // Without digits the number reads as 0 and ends where it started: "hex():" is type 0.
    const std::string_view after = n.digits == 0 ? afterParenthesis : n.rest;
    if (n.value > 0xFFFFFFFFull || after.substr(0, 2) != "):") return std::nullopt;
    rest = after.substr(2);
    return static_cast<std::uint32_t>(n.value);
}

HexList appendHexList(std::string_view list, std::string& data)
{
    while (!list.empty()) {
        const Number n = hexNumber(list);
        if (n.digits == 0) {
            const std::string_view rest = skipBlanks(list);
            if (!rest.empty() && rest.front() == '\\')
                return endsHere(rest.substr(1)) ? HexList::Continued : HexList::Invalid;
            return !rest.empty() && rest.front() == ';' ? HexList::Complete : HexList::Invalid;
        }
        if (n.value > 0xFF) return HexList::Invalid;
        data += static_cast<char>(n.value);
        if (n.rest.empty()) return HexList::Complete;
        if (n.rest.front() != ',') return endsHere(n.rest) ? HexList::Complete : HexList::Invalid;
        list = n.rest.substr(1);
    }
    return HexList::Complete;
}

}  // namespace talvorin::formats::reg::syntax
