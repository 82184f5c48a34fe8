#include "formats/ini_text.h"

#include "formats/ascii.h"
#include "formats/utf16.h"

#include <cstdint>
#include <stdexcept>
#include <unordered_map>

namespace talvorin::formats::ini {

namespace {

using formats::equalsNoCase;
using formats::lowerAscii;

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

// The lines of a text one at a time, so that reading a file costs no memory beyond its
// bytes, however many lines it has.
class LineCursor {
public:
    LineCursor(std::string_view text, std::size_t from) : text_(text), pos_(from) {}
    bool next(Line& line)
    {
        if (pos_ >= text_.size()) return false;
        std::size_t brk = pos_;
        while (brk < text_.size() && text_[brk] != '\n' && text_[brk] != '\r') ++brk;
        if (brk == text_.size()) {
            line = {pos_, text_.size(), text_.size()};
        } else {
            std::size_t after = brk + 1;
            if (text_[brk] == '\r' && after < text_.size() && text_[after] == '\n') ++after;
            line = {pos_, brk, after};
        }
        pos_ = line.end;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_;
};

enum class Kind { Blank, Comment, Section, Key, Other };

struct Parsed {
    Kind kind = Kind::Blank;
    std::string_view name;       // section or key name, trimmed
    std::size_t valueBegin = 0;  // absolute offsets of the trimmed value of a key line
    std::size_t valueEnd = 0;
};

Parsed parseLine(std::string_view text, const Line& line)
{
    Parsed p;
    if (line.contentEnd == line.begin) return p;
    const std::string_view content = text.substr(line.begin, line.contentEnd - line.begin);
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

// The first section of the name: its header line, and the byte where the next header (or
// the text) begins; the section's own lines lie between.
struct SectionSpan {
    Line header;
    std::size_t end;
};

std::optional<SectionSpan> findSection(std::string_view text, std::string_view name)
{
    LineCursor lines(text, 0);
    Line line{};
    while (lines.next(line)) {
        const Parsed p = parseLine(text, line);
        if (p.kind != Kind::Section || !equalsNoCase(p.name, name)) continue;
        SectionSpan span{line, text.size()};
        Line inner{};
        while (lines.next(inner)) {
            if (parseLine(text, inner).kind == Kind::Section) {
                span.end = inner.begin;
                break;
            }
        }
        return span;
    }
    return std::nullopt;
}

// Calls f(line, parsed) for each line of the section after its header.
template <typename F>
void forEachSectionLine(std::string_view text, const SectionSpan& span, F f)
{
    LineCursor lines(text.substr(0, span.end), span.header.end);
    Line line{};
    while (lines.next(line))
        if (!f(line, parseLine(text, line))) return;
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
    if (std::string_view(bytes).substr(0, 2) != "\xFF\xFE")
        return FileText{Encoding::EightBit, std::move(bytes), false};
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

std::optional<std::string_view> findRawValue(std::string_view text, std::string_view section, std::string_view key)
{
    const std::string_view wantedKey = trim(key);
    const auto span = findSection(text, trim(section));
    if (!span) return std::nullopt;
    std::optional<std::string_view> found;
    forEachSectionLine(text, *span, [&](const Line&, const Parsed& p) {
        if (p.kind != Kind::Key || !equalsNoCase(p.name, wantedKey)) return true;
        found = text.substr(p.valueBegin, p.valueEnd - p.valueBegin);
        return false;
    });
    return found;
}

std::string readValue(std::string_view text, std::string_view section, std::string_view key, std::string_view def,
                      std::size_t bufferSize)
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
        const unsigned digit = c >= '0' && c <= '9'   ? static_cast<unsigned>(c - '0')
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

std::vector<std::string> readKeyNames(std::string_view text, std::string_view section, std::size_t bufferSize)
{
    std::vector<std::string> names;
    const auto span = findSection(text, trim(section));
    if (!span) return names;
    std::size_t used = 0;  // bytes taken by the names so far, each with its zero byte
    forEachSectionLine(text, *span, [&](const Line&, const Parsed& p) {
        if (p.kind != Kind::Key) return true;
        const std::string_view name = cutAtZero(p.name);
        // An empty name is a lone zero byte in the list, which reads as the list's end.
        if (name.empty()) return false;
        // The list's own closing zero byte must fit after this name.
        if (bufferSize - used < name.size() + 2) return false;
        used += name.size() + 1;
        names.emplace_back(name);
        return true;
    });
    return names;
}

std::vector<std::string> readSectionValues(std::string_view text, std::string_view section)
{
    // The names as readKeyNames lists them and each name's first value, in one pass.
    const auto span = findSection(text, trim(section));
    if (!span) return {};
    std::vector<std::string_view> names;
    std::unordered_map<std::string, std::string_view> firstValue;
    const auto folded = [](std::string_view name) { return formats::lowerAsciiText(name); };
    bool ended = false;
    forEachSectionLine(text, *span, [&](const Line&, const Parsed& p) {
        if (p.kind != Kind::Key) return true;
        firstValue.try_emplace(folded(p.name), text.substr(p.valueBegin, p.valueEnd - p.valueBegin));
        const std::string_view name = cutAtZero(p.name);
        // An empty name ends the list, as in readKeyNames.
        if (name.empty()) ended = true;
        if (!ended) names.push_back(name);
        return true;
    });
    std::vector<std::string> values;
    values.reserve(names.size());
    for (const std::string_view name : names) {
        const auto it = firstValue.find(folded(name));
        values.push_back(it == firstValue.end() ? std::string{}
                                                : fitBuffer(stripQuotes(cutAtZero(it->second)), kValueBufferSize));
    }
    return values;
}

bool canWrite(std::string_view section, std::string_view key, std::string_view value)
{
    auto storable = [](std::string_view s) {
        return s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
    };
    if (!storable(section) || !storable(key) || !storable(value)) return false;
    const std::string_view k = trim(key);
    if (k.empty() || k.find('=') != std::string_view::npos || k.front() == ';' || k.front() == '[') return false;
    return !trim(section).empty();
}

std::string writeValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value)
{
    if (!canWrite(section, key, value))
        throw std::invalid_argument("a settings value, key or section that cannot be stored");
    const std::string_view sectionName = trim(section);
    const std::string_view keyName = trim(key);
    std::string newLine;
    newLine.append(keyName).append("=").append(value).append("\r\n");

    auto spliced = [&](std::size_t from, std::size_t to, std::string_view insert) {
        std::string out;
        out.reserve(text.size() + insert.size());
        out.append(text.substr(0, from)).append(insert).append(text.substr(to));
        return out;
    };

    if (const auto span = findSection(text, sectionName)) {
        Line after = span->header;  // the section's last line that is not blank
        std::optional<Parsed> existing;
        forEachSectionLine(text, *span, [&](const Line& line, const Parsed& p) {
            if (p.kind == Kind::Key && equalsNoCase(p.name, keyName)) {
                existing = p;
                return false;
            }
            if (p.kind != Kind::Blank) after = line;
            return true;
        });
        if (existing) return spliced(existing->valueBegin, existing->valueEnd, value);
        // A last line without a line break (the end of the file) first gets one.
        const std::string insert = (after.end == after.contentEnd ? "\r\n" : "") + newLine;
        return spliced(after.end, after.end, insert);
    }

    std::string out(text);
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += "\r\n";
    out.append("[").append(sectionName).append("]\r\n").append(newLine);
    return out;
}

}  // namespace talvorin::formats::ini
