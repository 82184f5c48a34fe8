#include "formats/reg_file.h"

#include <vector>

#include "formats/ascii.h"
#include "formats/cp1252.h"
#include "formats/reg_syntax.h"
#include "formats/utf16.h"

namespace talvorin::formats::reg {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

std::string upper(std::string_view s) { return upperAsciiText(s); }

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t brk = text.find_first_of("\r\n", pos);
        if (brk == std::string_view::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, brk - pos));
        pos = brk + 1;
        if (text[brk] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
    return lines;
}

// Components joined by single backslashes, upper case; "" is the root.
std::string normalisedPath(std::string_view path)
{
    std::string out;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find('\\', pos);
        if (end == std::string_view::npos) end = path.size();
        if (end > pos) {
            if (!out.empty()) out += '\\';
            out += upper(path.substr(pos, end - pos));
        }
        pos = end + 1;
    }
    return out;
}

// The path below HKEY_LOCAL_MACHINE of a full key name; nullopt for other roots. The root
// is matched without regard to case and must end at the first backslash ("HKLM" is short
// for it here; regedit knows no short names).
std::optional<std::string> localMachinePath(std::string_view fullName)
{
    const std::size_t slash = fullName.find('\\');
    const std::string root = upper(fullName.substr(0, slash));
    if (root != "HKEY_LOCAL_MACHINE" && root != "HKLM") return std::nullopt;
    return normalisedPath(slash == std::string_view::npos ? std::string_view() : fullName.substr(slash + 1));
}

std::string upToZero(std::string s)
{
    const std::size_t zero = s.find('\0');
    if (zero != std::string::npos) s.resize(zero);
    return s;
}

enum class TextEncoding { EightBit, Utf8, Utf16 };

struct DecodedText {
    TextEncoding encoding;  // what the file was
    std::string text;       // UTF-16 converted to UTF-8, a UTF-8 byte-order mark dropped
};

// A file's bytes as text: UTF-16LE (with its byte-order mark, or recognised by every
// second byte being zero) converted, a UTF-8 byte-order mark dropped, 8-bit text as it is.
DecodedText decodeText(std::string_view bytes)
{
    if (bytes.substr(0, 2) == "\xFF\xFE") return {TextEncoding::Utf16, utf16leToUtf8(bytes.substr(2))};
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return {TextEncoding::Utf8, std::string(bytes.substr(3))};
    // regedit 5 text without its mark still shows as every second byte zero.
    if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0') return {TextEncoding::Utf16, utf16leToUtf8(bytes)};
    return {TextEncoding::EightBit, std::string(bytes)};
}

}  // namespace

// Reads the file line by line into a RegFile, each line as regedit reads it.
class RegFileParser {
public:
    RegFileParser(RegFile& out, bool utf16Strings) : out_(out), utf16Strings_(utf16Strings) {}

    void run(const std::vector<std::string_view>& lines)
    {
        out_.keys_[""];
        for (std::size_t i = 1; i < lines.size() && !stopped_;) {
            const std::string_view line = syntax::skipBlanks(lines[i++]);
            if (line.empty()) continue;
            if (line.front() == '[')
                keyLine(line.substr(1));
            else if (line.front() == '@')
                valueLine(std::string(), line.substr(1), lines, i);
            else if (line.front() == '"') {
                const auto name = syntax::unquote(line.substr(1));
                if (name.result == syntax::Quoted::Result::Text) valueLine(name.text, name.rest, lines, i);
            }
            // Anything else, comments (';' or '#') included, is passed over.
        }
    }

private:
    void keyLine(std::string_view afterBracket)
    {
        current_.reset();
        const std::size_t close = afterBracket.rfind(']');
        // "[ HKEY_..." names no key, and neither does a line without a closing bracket.
        if (afterBracket.empty() || syntax::isBlank(afterBracket.front()) || close == std::string_view::npos) return;
        std::string_view name = afterBracket.substr(0, close);
        if (!name.empty() && name.front() == '-') {
            name.remove_prefix(1);
            if (name.empty() || (name.front() != 'H' && name.front() != 'h')) return;
            if (const auto path = localMachinePath(name)) removeKey(*path);
            return;
        }
        const auto path = localMachinePath(name);
        if (!path) return;
        addKey(*path);
        current_ = *path;
    }

    void addKey(const std::string& path)
    {
        out_.keys_[path];
        for (std::size_t slash = path.find('\\'); slash != std::string::npos; slash = path.find('\\', slash + 1))
            out_.keys_[path.substr(0, slash)];
    }

    void removeKey(const std::string& path)
    {
        if (path.empty()) return;  // the root itself stays
        const std::string below = path + '\\';
        for (auto it = out_.keys_.begin(); it != out_.keys_.end();) {
            if (it->first == path || it->first.compare(0, below.size(), below) == 0)
                it = out_.keys_.erase(it);
            else
                ++it;
        }
    }

    // The line after the value's name; next is the index of the line after it, moved on
    // over the lines that continue hex data.
    void valueLine(const std::string& name, std::string_view afterName, const std::vector<std::string_view>& lines,
                   std::size_t& next)
    {
        std::string_view data = syntax::skipBlanks(afterName);
        if (data.empty() || data.front() != '=') return;
        data = syntax::skipBlanks(data.substr(1));
        while (!data.empty() && syntax::isBlank(data.back())) data.remove_suffix(1);

        if (!data.empty() && data.front() == '-') {
            if (syntax::endsHere(data.substr(1))) store(name, std::nullopt);
            return;
        }
        if (!data.empty() && data.front() == '"') {
            const auto text = syntax::unquote(data.substr(1));
            // regedit reads nothing more of a file once a text holds \0 or runs into the
            // end of its line with a backslash.
            if (text.result == syntax::Quoted::Result::Refused) stopped_ = true;
            if (text.result == syntax::Quoted::Result::Text && syntax::endsHere(text.rest))
                store(name, Value{kTypeString, upToZero(text.text)});
            return;
        }
        if (data.substr(0, 6) == "dword:") {
            const auto n = syntax::dwordData(data.substr(6));
            if (!n) return;
            std::string bytes;
            for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((*n >> shift) & 0xFF);
            store(name, Value{kTypeDword, bytes});
            return;
        }
        std::uint32_t type = kTypeBinary;
        if (data.substr(0, 4) == "hex:") {
            data.remove_prefix(4);
        } else if (data.substr(0, 4) == "hex(") {
            const auto n = syntax::hexType(data.substr(4), data);
            if (!n) return;
            type = *n;
        } else {
            return;
        }
        std::string bytes;
        if (!hexData(data, lines, next, bytes)) return;
        if (type == kTypeString || type == kTypeExpandString) bytes = stringData(bytes);
        store(name, Value{type, std::move(bytes)});
    }

    // The bytes of hex data that may go on over further lines. A continuation line must
    // start with a hex digit; blank lines and comment lines in between are passed over,
    // and the end of the file ends the data. Any other line is taken as data and spoils
    // the value, so the value written after an unfinished one is lost with it.
    static bool hexData(std::string_view first, const std::vector<std::string_view>& lines, std::size_t& next,
                        std::string& bytes)
    {
        syntax::HexList state = syntax::appendHexList(first, bytes);
        while (state == syntax::HexList::Continued) {
            std::string_view line;
            do {
                if (next == lines.size()) return true;
                line = syntax::skipBlanks(lines[next++]);
            } while (line.empty() || line.front() == ';');
            if (!syntax::isHexDigit(line.front())) return false;
            state = syntax::appendHexList(line, bytes);
        }
        return state == syntax::HexList::Complete;
    }

    std::string stringData(const std::string& bytes) const
    {
        if (!utf16Strings_) return cp1252ToUtf8(upToZero(bytes));
        // Cut at the first zero character before converting, so a closing zero is not text.
        std::size_t units = bytes.size() / 2;
        for (std::size_t i = 0; i < units; ++i)
            if (bytes[2 * i] == '\0' && bytes[2 * i + 1] == '\0') units = i;
        return utf16leToUtf8(std::string_view(bytes).substr(0, units * 2));
    }

    // Sets the value in the current key, or removes it (nullopt); nothing below other roots.
    void store(const std::string& name, std::optional<Value> value)
    {
        if (!current_) return;
        auto& values = out_.keys_[*current_];
        if (value)
            values[upper(name)] = std::move(*value);
        else
            values.erase(upper(name));
    }

    RegFile& out_;
    // hex(1) and hex(2) data are UTF-16LE, else 8-bit text of the ANSI code page.
    const bool utf16Strings_;
    std::optional<std::string> current_;  // the key the value lines belong to, when below HKLM
    bool stopped_ = false;
};

RegFile RegFile::parse(std::string_view fileBytes)
{
    RegFile file;
    const DecodedText decoded = decodeText(fileBytes);
    const std::vector<std::string_view> lines = splitLines(decoded.text);
    if (lines.empty()) return file;
    // The header is the first line, blanks before it allowed and nothing after it.
    const std::string_view header = syntax::skipBlanks(lines.front());
    const bool version5 = header == kHeader5;
    if (!version5 && header != kHeader4) return file;
    // An 8-bit file's text is in the ANSI code page, whichever the header, and so is its
    // hex(1) and hex(2) data; in a UTF-16 file that data is UTF-16, as regedit reads them. A
    // version 5 export saved as UTF-8 keeps its hex(2) data in UTF-16.
    const bool utf16Strings = decoded.encoding == TextEncoding::Utf16 ||
                              (version5 && decoded.encoding == TextEncoding::Utf8);
    if (decoded.encoding == TextEncoding::EightBit) {
        const std::string text = cp1252ToUtf8(decoded.text);
        RegFileParser(file, utf16Strings).run(splitLines(text));
    } else {
        RegFileParser(file, utf16Strings).run(lines);
    }
    return file;
}

const Value* RegFile::findValue(std::string_view keyPath, std::string_view valueName) const
{
    const auto key = keys_.find(normalisedPath(keyPath));
    if (key == keys_.end()) return nullptr;
    const auto value = key->second.find(upper(valueName));
    return value == key->second.end() ? nullptr : &value->second;
}

const RegFile::Values* RegFile::findKey(std::string_view keyPath) const
{
    const auto key = keys_.find(normalisedPath(keyPath));
    return key == keys_.end() ? nullptr : &key->second;
}

}  // namespace talvorin::formats::reg
