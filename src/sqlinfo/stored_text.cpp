#include "sqlinfo/stored_text.h"

#include <vector>

#include "formats/ini_text.h"
#include "setupdata/scramble.h"
#include "setupdata/setup_files.h"

namespace talvorin::sqlinfo {

namespace {

// A printable character in quotes, a control character by its code.
std::vector<std::string> named(std::string_view chars, bool controls)
{
    std::vector<std::string> names;
    for (const char c : chars) {
        const bool control = static_cast<unsigned char>(c) < 0x20;
        if (control == controls)
            names.push_back(control ? std::to_string(static_cast<unsigned char>(c)) : std::string{'"', c, '"'});
    }
    return names;
}

// "a, b or c".
std::string either(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text;
}

}  // namespace

bool storedUnchanged(const std::string& key, const std::string& value)
{
    const std::string stored = setupdata::ScrambleText(value);
    if (!formats::ini::canWrite(setupdata::kSectionDB, key, stored)) return false;
    const std::string file = formats::ini::writeValue("", setupdata::kSectionDB, key, stored);
    return formats::ini::readValue(file, setupdata::kSectionDB, key, "") == stored;
}

std::string storageRulesText()
{
    std::string pairs;
    for (const std::string& name : named(kRefusedAsAPair, false))
        pairs += (pairs.empty() ? "begin and end with " : ", nor begin and end with ") + name;
    return "It must not begin or end with " + either(named(kRefusedAtTheEnds, false)) +
           " or with the control character " + either(named(kRefusedAtTheEnds, true)) + ", must not " + pairs +
           " (either alone is fine), must not contain the control character " + either(named(kRefusedAnywhere, true)) +
           ", and must not be longer than " + std::to_string(kLongestStored) + " characters.";
}

}  // namespace talvorin::sqlinfo
