#pragma once

#include <string>

namespace talvorin::sqlinfo {

// Whether the value, scrambled and written under the key of section DB, reads back as
// the same text. The settings file drops blanks at the ends of a value and one pair of
// quotes around it, cannot hold NUL, CR or LF, and gives back at most 2047 characters;
// through the scrambling that refuses, among printable characters, a leading or trailing
// "<" and a text that starts and ends with the same of ">" and ";".
bool storedUnchanged(const std::string& key, const std::string& value);

}  // namespace talvorin::sqlinfo
