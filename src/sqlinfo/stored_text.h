#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace talvorin::sqlinfo {

// Whether the value, scrambled and written under the key of section DB, reads back as
// the same text. The settings file drops blanks at the ends of a value and one pair of
// quotes around it, cannot hold NUL, CR or LF, and gives back at most 2047 characters;
// through the scrambling that refuses exactly the characters below.
bool storedUnchanged(const std::string& key, const std::string& value);

// What storedUnchanged refuses, character by character:
// - anywhere, what scrambles to NUL, LF or CR;
inline constexpr std::string_view kRefusedAnywhere{"\x11\x16\x1c", 3};
// - at either end, what scrambles to a blank the reader trims (space, tab, vertical tab,
//   form feed, ^Z);
inline constexpr std::string_view kRefusedAtTheEnds{"<\x06\x10\x15\x17", 5};
// - at both ends of a text of two or more characters, the same one of what scrambles to a
//   double or a single quote;
inline constexpr std::string_view kRefusedAsAPair{">;", 2};
// - and any text longer than the reader's buffer gives back.
inline constexpr std::size_t kLongestStored = 2047;

// The refusal's explanation of the rules above, for a user: "It must not ...".
std::string storageRulesText();

}  // namespace talvorin::sqlinfo
