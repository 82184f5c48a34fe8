#include "support/sql_double.h"

#include "formats/utf8.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace talvorin::testing {

// ---- JSON -------------------------------------------------------------------------------

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : text_(text) {}

    JsonValue document()
    {
        JsonValue value = read();
        skipBlanks();
        if (pos_ != text_.size())
            fail("text after the value");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& what) const
    {
        throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(pos_));
    }

    void skipBlanks()
    {
        while (pos_ < text_.size() && std::strchr(" \t\r\n", text_[pos_]) && text_[pos_] != '\0')
            ++pos_;
    }

    bool take(const char* word)
    {
        const std::size_t length = std::strlen(word);
        if (text_.compare(pos_, length, word) != 0)
            return false;
        pos_ += length;
        return true;
    }

    JsonValue read()
    {
        skipBlanks();
        if (pos_ >= text_.size())
            fail("missing value");
        JsonValue value;
        const char c = text_[pos_];
        if (c == '{') {
            value.kind_ = JsonValue::Kind::Object;
            ++pos_;
            skipBlanks();
            if (pos_ < text_.size() && text_[pos_] == '}') {
                ++pos_;
                return value;
            }
            for (;;) {
                skipBlanks();
                std::string key = readString();
                skipBlanks();
                if (pos_ >= text_.size() || text_[pos_++] != ':')
                    fail("missing ':'");
                value.members_.emplace_back(std::move(key), read());
                if (!endOfList('}'))
                    continue;
                return value;
            }
        }
        if (c == '[') {
            value.kind_ = JsonValue::Kind::Array;
            ++pos_;
            skipBlanks();
            if (pos_ < text_.size() && text_[pos_] == ']') {
                ++pos_;
                return value;
            }
            for (;;) {
                value.items_.push_back(read());
                if (endOfList(']'))
                    return value;
            }
        }
        if (c == '"') {
            value.kind_ = JsonValue::Kind::String;
            value.string_ = readString();
            return value;
        }
        if (take("null"))
            return value;
        for (const bool truth : {true, false}) {
            if (take(truth ? "true" : "false")) {
                value.kind_ = JsonValue::Kind::Boolean;
                value.boolean_ = truth;
                return value;
            }
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() && std::strchr("+-0123456789.eE", text_[pos_]) && text_[pos_] != '\0')
            ++pos_;
        if (start == pos_)
            fail("unexpected character");
        value.kind_ = JsonValue::Kind::Number;
        value.number_ = std::stod(text_.substr(start, pos_ - start));
        return value;
    }

    // After an item: true at the closing bracket, false at a comma.
    bool endOfList(char closing)
    {
        skipBlanks();
        if (pos_ >= text_.size())
            fail("unterminated list");
        const char c = text_[pos_++];
        if (c == closing)
            return true;
        if (c != ',')
            fail("missing ','");
        return false;
    }

    unsigned hex4()
    {
        if (pos_ + 4 > text_.size())
            fail("short \\u escape");
        const unsigned value = static_cast<unsigned>(std::stoul(text_.substr(pos_, 4), nullptr, 16));
        pos_ += 4;
        return value;
    }

    std::string readString()
    {
        if (pos_ >= text_.size() || text_[pos_] != '"')
            fail("missing string");
        ++pos_;
        std::string out;
        for (;;) {
            if (pos_ >= text_.size())
                fail("unterminated string");
            const char c = text_[pos_++];
            if (c == '"')
                return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size())
                fail("unterminated escape");
            const char e = text_[pos_++];
            switch (e) {
            case '"': case '\\': case '/': out += e; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                std::uint32_t c1 = hex4();
                if (c1 >= 0xD800 && c1 <= 0xDBFF && text_.compare(pos_, 2, "\\u") == 0) {
                    pos_ += 2;
                    const std::uint32_t c2 = hex4();
                    c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
                }
                talvorin::formats::appendUtf8(out, c1);
                break;
            }
            default: fail("unknown escape");
            }
        }
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

JsonValue JsonValue::parse(const std::string& text)
{
    return JsonReader(text).document();
}

namespace {
[[noreturn]] void wrongKind(const char* wanted)
{
    throw std::runtime_error(std::string("JSON: the value is not ") + wanted);
}
}  // namespace

bool JsonValue::boolean() const
{
    if (kind_ != Kind::Boolean)
        wrongKind("a boolean");
    return boolean_;
}

double JsonValue::number() const
{
    if (kind_ != Kind::Number)
        wrongKind("a number");
    return number_;
}

const std::string& JsonValue::string() const
{
    if (kind_ != Kind::String)
        wrongKind("a string");
    return string_;
}

const std::vector<JsonValue>& JsonValue::items() const
{
    if (kind_ != Kind::Array)
        wrongKind("an array");
    return items_;
}

bool JsonValue::has(const std::string& key) const
{
    for (const auto& member : members_)
        if (member.first == key)
            return true;
    return false;
}

const JsonValue& JsonValue::operator[](const std::string& key) const
{
    if (kind_ != Kind::Object)
        wrongKind("an object");
    for (const auto& member : members_)
        if (member.first == key)
            return member.second;
    throw std::runtime_error("JSON: no member \"" + key + "\"");
}

const JsonValue& JsonValue::operator[](std::size_t index) const
{
    return items().at(index);
}

}  // namespace talvorin::testing
