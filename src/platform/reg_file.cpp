#include "platform/reg_file.h"

#include "platform/ascii.h"
#include "platform/utf8.h"

#include <vector>

namespace talvorin::platform::reg {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

std::string upper(std::string_view s) { return upperAsciiText(s); }

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && equalsNoCase(s.substr(0, prefix.size()), prefix);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

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

// The path below HKEY_LOCAL_MACHINE of a full key name; nullopt for other roots.
std::optional<std::string> localMachinePath(std::string_view fullName)
{
    const std::size_t slash = fullName.find('\\');
    const std::string root = upper(trim(fullName.substr(0, slash)));
    if (root != "HKEY_LOCAL_MACHINE" && root != "HKLM") return std::nullopt;
    return normalisedPath(slash == std::string_view::npos ? std::string_view() : fullName.substr(slash + 1));
}

// A quoted text starting at pos (at the opening quote); pos ends after the closing quote.
std::optional<std::string> quoted(std::string_view line, std::size_t& pos)
{
    if (pos >= line.size() || line[pos] != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = pos + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '\\' || line[i + 1] == '"')) {
            out += line[++i];
            continue;
        }
        out += c;
    }
    return std::nullopt;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::uint32_t> hexNumber(std::string_view s, std::size_t maxDigits)
{
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    std::uint32_t n = 0;
    for (const char c : s) {
        const int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        n = n * 16u + static_cast<std::uint32_t>(d);
    }
    return n;
}

// "01,ff, 2a" as bytes; empty items (a trailing comma) are allowed.
std::optional<std::string> hexBytes(std::string_view list)
{
    std::string out;
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t end = list.find(',', pos);
        if (end == std::string_view::npos) end = list.size();
        const std::string_view item = trim(list.substr(pos, end - pos));
        if (!item.empty()) {
            const auto byte = hexNumber(item, 2);
            if (!byte) return std::nullopt;
            out += static_cast<char>(*byte);
        }
        pos = end + 1;
    }
    return out;
}

std::string upToZero(std::string s)
{
    const std::size_t zero = s.find('\0');
    if (zero != std::string::npos) s.resize(zero);
    return s;
}

std::string stringData(const std::string& bytes, bool utf16)
{
    if (!utf16) return upToZero(bytes);
    // Cut at the first zero character before converting, so a closing zero is not text.
    std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i)
        if (bytes[2 * i] == '\0' && bytes[2 * i + 1] == '\0') units = i;
    return utf16leToUtf8(std::string_view(bytes).substr(0, units * 2));
}

class SnapshotKey final : public RegistryKey {
public:
    explicit SnapshotKey(std::map<std::string, Value> values) : values_(std::move(values)) {}

    std::optional<std::string> readString(const std::string& valueName) const override
    {
        const auto it = values_.find(upper(valueName));
        if (it == values_.end()) return std::nullopt;
        if (it->second.type != kTypeString && it->second.type != kTypeExpandString)
            throw RegistryTypeError("The registry value \"" + valueName + "\" does not hold text");
        return it->second.data;
    }

private:
    std::map<std::string, Value> values_;
};

}  // namespace

// Reads the file line by line into a RegFile.
class RegFileParser {
public:
    explicit RegFileParser(RegFile& out) : out_(out) {}

    void run(std::string_view text)
    {
        const auto lines = splitLines(text);
        std::size_t i = 0;
        while (i < lines.size() && trim(lines[i]).empty()) ++i;
        if (i == lines.size()) return;
        const std::string_view header = trim(lines[i++]);
        if (header == kHeader5) {
            utf16Strings_ = true;
        } else if (header != kHeader4) {
            return;
        }
        out_.hasHeader_ = true;
        out_.keys_[""];

        while (i < lines.size()) {
            const std::string_view line = trim(lines[i++]);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[') {
                keyLine(line);
                continue;
            }
            std::string logical(line);
            if (isHexValue(line)) {
                // Long binary data goes on over lines that end in a backslash.
                while (!logical.empty() && logical.back() == '\\' && i < lines.size() &&
                       trim(lines[i]).substr(0, 1) != "[") {
                    logical.pop_back();
                    logical += trim(lines[i++]);
                }
            }
            if (current_) valueLine(logical);
        }
    }

private:
    void keyLine(std::string_view line)
    {
        current_.reset();
        const std::size_t close = line.rfind(']');
        if (close == std::string_view::npos) return;
        std::string_view inner = line.substr(1, close - 1);
        const bool remove = !inner.empty() && inner.front() == '-';
        if (remove) inner.remove_prefix(1);
        const auto path = localMachinePath(inner);
        if (!path) return;
        if (remove) {
            removeKey(*path);
            return;
        }
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

    // The position just after "name" =, or nullopt when the line does not start that way.
    static std::optional<std::size_t> dataStart(std::string_view line, std::string* name)
    {
        std::size_t pos = 0;
        if (line.empty()) return std::nullopt;
        if (line.front() == '@') {
            pos = 1;
            if (name) name->clear();
        } else {
            const auto n = quoted(line, pos);
            if (!n) return std::nullopt;
            if (name) *name = *n;
        }
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        if (pos >= line.size() || line[pos] != '=') return std::nullopt;
        ++pos;
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        return pos;
    }

    static bool isHexValue(std::string_view line)
    {
        const auto pos = dataStart(line, nullptr);
        return pos && startsWithNoCase(line.substr(*pos), "hex");
    }

    void valueLine(std::string_view line)
    {
        std::string name;
        const auto pos = dataStart(line, &name);
        if (!pos) return;
        std::string_view data = line.substr(*pos);
        auto& values = out_.keys_[*current_];
        const std::string valueKey = upper(name);

        if (trim(data) == "-") {
            values.erase(valueKey);
            return;
        }
        if (!data.empty() && data.front() == '"') {
            std::size_t end = 0;
            auto text = quoted(data, end);
            if (!text || !trim(data.substr(end)).empty()) return;
            values[valueKey] = Value{kTypeString, upToZero(std::move(*text))};
            return;
        }
        if (startsWithNoCase(data, "dword:")) {
            const auto n = hexNumber(trim(data.substr(6)), 8);
            if (!n) return;
            std::string bytes;
            for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((*n >> shift) & 0xFF);
            values[valueKey] = Value{kTypeDword, bytes};
            return;
        }
        if (startsWithNoCase(data, "hex")) {
            data.remove_prefix(3);
            std::uint32_t type = kTypeBinary;
            if (!data.empty() && data.front() == '(') {
                const std::size_t close = data.find(')');
                if (close == std::string_view::npos) return;
                const auto n = hexNumber(trim(data.substr(1, close - 1)), 8);
                if (!n) return;
                type = *n;
                data.remove_prefix(close + 1);
            }
            if (data.empty() || data.front() != ':') return;
            auto bytes = hexBytes(data.substr(1));
            if (!bytes) return;
            if (type == kTypeString || type == kTypeExpandString)
                values[valueKey] = Value{type, stringData(*bytes, utf16Strings_)};
            else
                values[valueKey] = Value{type, std::move(*bytes)};
        }
    }

    RegFile& out_;
    std::optional<std::string> current_;  // the key the value lines belong to, when below HKLM
    bool utf16Strings_ = false;
};

RegFile RegFile::parse(std::string_view fileBytes)
{
    RegFile file;
    RegFileParser(file).run(decodeText(fileBytes));
    return file;
}

bool RegFile::hasKey(std::string_view path) const
{
    return keys_.count(normalisedPath(path)) != 0;
}

const Value* RegFile::findValue(std::string_view keyPath, std::string_view valueName) const
{
    const auto key = keys_.find(normalisedPath(keyPath));
    if (key == keys_.end()) return nullptr;
    const auto value = key->second.find(upper(valueName));
    return value == key->second.end() ? nullptr : &value->second;
}

std::unique_ptr<RegistryKey> RegFile::openKey(std::string_view path) const
{
    const auto key = keys_.find(normalisedPath(path));
    if (key == keys_.end()) return nullptr;
    return std::make_unique<SnapshotKey>(key->second);
}

std::string decodeText(std::string_view bytes)
{
    if (bytes.substr(0, 2) == "\xFF\xFE") return utf16leToUtf8(bytes.substr(2));
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
    // regedit 5 text without its mark still shows as every second byte zero.
    if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0') return utf16leToUtf8(bytes);
    return std::string(bytes);
}

std::string utf16leToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() / 2);
    appendUtf16AsUtf8(out, bytes.size() / 2, [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i])) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
    });
    return out;
}

}  // namespace talvorin::platform::reg
