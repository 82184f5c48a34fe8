#include "platform/ini_text.h"

#include "platform/ascii.h"
#include "platform/utf16.h"

#include <cstdint>
#include <stdexcept>
#include <unordered_map>

namespace talvorin::platform::ini {

namespace {

using platform::equalsNoCase;
using platform::lowerAscii;

bool isBlank(char c)
{
    // ^Z is the old DOS end-of-file mark, still found at the end of some files.
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view trim(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

struct Line {
    std::size_t begin;       // first byte of the line
    std::size_t contentEnd;  // first byte of its line break
    std::size_t end;         // first byte after its line break
};

std::vector<Line> splitLines(std::string_view text)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t brk = text.find_first_of("\r\n", pos);
        if (brk == std::string_view::npos) {
            lines.push_back({pos, text.size(), text.size()});
            break;
        }
        std::size_t next = brk + 1;
        if (text[brk] == '\r' && next < text.size() && text[next] == '\n') ++next;
        lines.push_back({pos, brk, next});
        pos = next;
    }
    return lines;
}

enum class Kind { Blank, Comment, Section, Key, Other };

struct Parsed {
    Kind kind = Kind::Blank;
    std::string_view name;         // section or key name, trimmed
    std::size_t valueBegin = 0;    // absolute offsets of the trimmed value of a key line
    std::size_t valueEnd = 0;
};

Parsed parseLine(std::string_view text, const Line& line)
{
    const std::string_view content = text.substr(line.begin, line.contentEnd - line.begin);
    Parsed p;
    std::size_t first = 0;
    while (first < content.size() && isBlank(content[first])) ++first;
    if (first == content.size()) return p;
    if (content[first] == ';') {
        p.kind = Kind::Comment;
        return p;
    }
    if (content[first] == '[') {
        const std::size_t close = content.rfind(']');
        if (close != std::string_view::npos && close > first) {
            p.kind = Kind::Section;
            p.name = trim(content.substr(first + 1, close - first - 1));
            return p;
        }
        // Without a closing bracket the line is read as an ordinary one.
    }
    const std::size_t eq = content.find('=', first);
    if (eq == std::string_view::npos) {
        p.kind = Kind::Other;
        return p;
    }
    p.kind = Kind::Key;
    p.name = trim(content.substr(first, eq - first));
    std::size_t vb = eq + 1, ve = content.size();
    while (vb < ve && isBlank(content[vb])) ++vb;
    while (ve > vb && isBlank(content[ve - 1])) --ve;
    p.valueBegin = line.begin + vb;
    p.valueEnd = line.begin + ve;
    return p;
}

// The lines of the first section of the name: the header and the lines up to the next
// header.
struct SectionSpan {
    std::size_t header;
    std::size_t end;
};

std::optional<SectionSpan> findSection(std::string_view text, const std::vector<Line>& lines,
                                       std::string_view name)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Parsed p = parseLine(text, lines[i]);
        if (p.kind != Kind::Section || !equalsNoCase(p.name, name)) continue;
        std::size_t end = i + 1;
        while (end < lines.size() && parseLine(text, lines[end]).kind != Kind::Section) ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::string_view stripQuotes(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

std::string fitBuffer(std::string_view v, std::size_t bufferSize)
{
    if (bufferSize == 0) return {};
    return std::string(v.substr(0, bufferSize - 1));
}

std::string_view cutAtZero(std::string_view v)
{
    const std::size_t zero = v.find('\0');
    return zero == std::string_view::npos ? v : v.substr(0, zero);
}

}  // namespace

FileText decodeFile(std::string bytes)
{
    if (std::string_view(bytes).substr(0, 2) != "\xFF\xFE") return FileText{Encoding::EightBit, std::move(bytes), false};
    const std::string_view body = std::string_view(bytes).substr(2);
    // Keeping unpaired surrogates as they are lets a write give back every unit it read.
    return FileText{Encoding::Utf16, utf16leToUtf8(body, Unpaired::Keep), body.size() % 2 != 0};
}

std::optional<std::string> encodeFile(Encoding encoding, std::string_view text)
{
    if (encoding == Encoding::EightBit) return std::string(text);
    auto body = utf8ToUtf16le(text);
    if (!body) return std::nullopt;
    return "\xFF\xFE" + *body;
}

std::optional<std::string_view> findRawValue(std::string_view text, std::string_view section,
                                             std::string_view key)
{
    const std::string_view wantedKey = trim(key);
    const std::vector<Line> lines = splitLines(text);
    const auto span = findSection(text, lines, trim(section));
    if (!span) return std::nullopt;
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
        const Parsed p = parseLine(text, lines[i]);
        if (p.kind == Kind::Key && equalsNoCase(p.name, wantedKey))
            return text.substr(p.valueBegin, p.valueEnd - p.valueBegin);
    }
    return std::nullopt;
}

std::string readValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view def, std::size_t bufferSize)
{
    const auto raw = findRawValue(text, section, key);
    if (!raw) return defaultValue(def, bufferSize);
    return fitBuffer(stripQuotes(cutAtZero(*raw)), bufferSize);
}

std::string defaultValue(std::string_view def, std::size_t bufferSize)
{
    def = cutAtZero(def);
    while (!def.empty() && isBlank(def.back())) def.remove_suffix(1);
    return fitBuffer(def, bufferSize);
}

int toInt(std::string_view value, int def)
{
    if (value.empty()) return def;
    // As RtlUnicodeStringToInteger with base 0 reads it: blanks and control characters,
    // a sign, then 0x, 0o or 0b for hexadecimal, octal or binary digits, else decimal.
    std::size_t i = 0;
    while (i < value.size() && static_cast<unsigned char>(value[i]) <= ' ') ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    unsigned base = 10;
    if (i + 1 < value.size() && value[i] == '0') {
        const char prefix = lowerAscii(value[i + 1]);
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10) i += 2;
    }
    std::uint32_t result = 0;  // unsigned, so that overflow wraps as it does on Windows
    for (; i < value.size(); ++i) {
        const char c = lowerAscii(value[i]);
        const unsigned digit = c >= '0' && c <= '9' ? static_cast<unsigned>(c - '0')
                               : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10)
                                                      : 99u;
        if (digit >= base) break;
        result = result * base + digit;
    }
    if (negative) result = 0u - result;
    return static_cast<int>(static_cast<std::int32_t>(result));
}

int readInt(std::string_view text, std::string_view section, std::string_view key, int def)
{
    return toInt(readValue(text, section, key, ""), def);
}

std::vector<std::string> readKeyNames(std::string_view text, std::string_view section,
                                      std::size_t bufferSize)
{
    std::vector<std::string> names;
    const std::vector<Line> lines = splitLines(text);
    const auto span = findSection(text, lines, trim(section));
    if (!span) return names;
    std::size_t used = 0;  // bytes taken by the names so far, each with its zero byte
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
        const Parsed p = parseLine(text, lines[i]);
        if (p.kind != Kind::Key) continue;
        const std::string_view name = cutAtZero(p.name);
        // An empty name is a lone zero byte in the list, which reads as the list's end.
        if (name.empty()) break;
        // The list's own closing zero byte must fit after this name.
        if (used + name.size() + 1 + 1 > bufferSize) break;
        used += name.size() + 1;
        names.emplace_back(name);
    }
    return names;
}

std::vector<std::string> readSectionValues(std::string_view text, std::string_view section)
{
    const std::vector<std::string> names = readKeyNames(text, section);
    if (names.empty()) return {};
    const std::vector<Line> lines = splitLines(text);
    const auto span = findSection(text, lines, trim(section));
    std::unordered_map<std::string, std::string_view> firstValue;
    const auto folded = [](std::string_view name) { return platform::lowerAsciiText(name); };
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
        const Parsed p = parseLine(text, lines[i]);
        if (p.kind == Kind::Key)
            firstValue.try_emplace(folded(p.name), text.substr(p.valueBegin, p.valueEnd - p.valueBegin));
    }
    std::vector<std::string> values;
    values.reserve(names.size());
    for (const std::string& name : names) {
        const auto it = firstValue.find(folded(name));
        values.push_back(it == firstValue.end() ? std::string{}
                                                : fitBuffer(stripQuotes(cutAtZero(it->second)), kValueBufferSize));
    }
    return values;
}

std::vector<std::string> readSectionNames(std::string_view text)
{
    std::vector<std::string> names;
    for (const Line& line : splitLines(text)) {
        const Parsed p = parseLine(text, line);
        if (p.kind == Kind::Section) names.emplace_back(p.name);
    }
    return names;
}

bool canWrite(std::string_view section, std::string_view key, std::string_view value)
{
    auto storable = [](std::string_view s) {
        return s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
    };
    if (!storable(section) || !storable(key) || !storable(value)) return false;
    const std::string_view k = trim(key);
    if (k.empty() || k.find('=') != std::string_view::npos || k.front() == ';' || k.front() == '[')
        return false;
    return !trim(section).empty();
}

std::string writeValue(std::string_view text, std::string_view section, std::string_view key,
                       std::string_view value)
{
    if (!canWrite(section, key, value))
        throw std::invalid_argument("a settings value, key or section that cannot be stored");
    const std::string_view sectionName = trim(section);
    const std::string_view keyName = trim(key);
    const std::vector<Line> lines = splitLines(text);

    std::string newLine;
    newLine.append(keyName).append("=").append(value).append("\r\n");

    auto spliced = [&](std::size_t from, std::size_t to, std::string_view insert) {
        std::string out;
        out.reserve(text.size() + insert.size());
        out.append(text.substr(0, from)).append(insert).append(text.substr(to));
        return out;
    };

    if (const auto span = findSection(text, lines, sectionName)) {
        std::size_t last = span->header;
        for (std::size_t i = span->header + 1; i < span->end; ++i) {
            const Parsed p = parseLine(text, lines[i]);
            if (p.kind == Kind::Key && equalsNoCase(p.name, keyName))
                return spliced(p.valueBegin, p.valueEnd, value);
            if (p.kind != Kind::Blank) last = i;
        }
        const Line& after = lines[last];
        // A last line without a line break (the end of the file) first gets one.
        const std::string insert = (after.end == after.contentEnd ? "\r\n" : "") + newLine;
        return spliced(after.end, after.end, insert);
    }

    std::string out(text);
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += "\r\n";
    out.append("[").append(sectionName).append("]\r\n").append(newLine);
    return out;
}

}  // namespace talvorin::platform::ini
