#pragma once

#include <string>
#include <utility>
#include <vector>

#include "odbc/odbc_text.h"

// Independent readers of an ODBC connection string, one per parser that reads the string
// the program hands to SQLDriverConnectW. Shared by the unit tests and the fuzz target.
namespace talvorin::testsupport {

using OdbcAttributes = std::vector<std::pair<std::string, std::string>>;

// How Microsoft's drivers and both driver managers (unixODBC's and Windows') read a
// connection string: in braces "}}" is one "}", a single "}" ends the value. With
// `doubledBrace` false, as a reader without that rule would: the first "}" ends it.
inline OdbcAttributes readDoubledBrace(const std::string& text, bool doubledBrace = true)
{
    OdbcAttributes out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ';' || text[i] == ' ')) ++i;
        if (i >= text.size()) break;
        const std::size_t equals = text.find('=', i);
        if (equals == std::string::npos) break;
        std::string key = text.substr(i, equals - i);
        i = equals + 1;
        std::string value;
        if (i < text.size() && text[i] == '{') {
            ++i;
            while (i < text.size() && (text[i] != '}' || (doubledBrace && i + 1 < text.size() && text[i + 1] == '}'))) {
                if (text[i] == '}') ++i;
                value += text[i++];
            }
            if (i < text.size()) ++i;
        } else {
            while (i < text.size() && text[i] != ';') value += text[i++];
        }
        out.emplace_back(std::move(key), std::move(value));
    }
    return out;
}

// How FreeTDS 1.3.17 reads one: a braced value ends at the first "};" (or runs to the end
// of the text, closing brace included); no escapes.
inline OdbcAttributes readFreeTds(const std::string& text)
{
    OdbcAttributes out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ';') ++i;
        if (i >= text.size()) break;
        const std::size_t equals = text.find('=', i);
        if (equals == std::string::npos) break;
        std::string key = text.substr(i, equals - i);
        i = equals + 1;
        std::size_t end;
        if (i < text.size() && text[i] == '{') {
            ++i;
            end = text.find("};", i);
            if (end == std::string::npos) end = text.size();
            out.emplace_back(std::move(key), text.substr(i, end - i));
            i = end == text.size() ? end : end + 1;
        } else {
            end = text.find(';', i);
            if (end == std::string::npos) end = text.size();
            out.emplace_back(std::move(key), text.substr(i, end - i));
            i = end;
        }
    }
    return out;
}

// What unixODBC 2.3 parses when SQLDriverConnectW is given `text`: every UTF-16 unit of the
// wide string cut to its low byte.
inline std::string narrowedByDriverManager(const std::string& text)
{
    std::string out;
    for (const SQLWCHAR unit : odbc::toOdbcText(text)) out += static_cast<char>(unit & 0xFF);
    return out;
}

// The values as unixODBC sees them, each narrowed as above.
inline OdbcAttributes narrowedByDriverManager(OdbcAttributes attributes)
{
    for (auto& [key, value] : attributes) value = narrowedByDriverManager(value);
    return attributes;
}

}  // namespace talvorin::testsupport
