#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The Windows INI format as GetPrivateProfileStringA, GetPrivateProfileIntA and
// WritePrivateProfileStringA treat it, as pure functions over the file's bytes, so the
// POSIX build can use them and the Windows build can hold them against the system's own.
//
// The file's bytes: a file that starts with the UTF-16LE byte-order mark FF FE is UTF-16
// text, taken here as UTF-8, the text of this build, and written back in UTF-16. Any other
// file is 8-bit text, taken as it is, as Windows 10 takes it: FE FF marks no big-endian
// text (Wine and older Windows read it so), and a UTF-8 byte-order mark is not skipped, so
// a header on the first line after one is no header.
//
// The reading rules:
// - A line ends at CR LF, LF or CR alone.
// - Blanks (space, tab, vertical tab, form feed, ^Z) around section names, keys and values
//   are dropped.
// - "[name]" starts a section; the name runs to the last ']' of the line. Only the first
//   section of a name is searched, for reading and for writing.
// - A line whose first non-blank character is ';' is a comment.
// - A key line is "key=value"; the key ends at its first '=', so a value may hold '='.
//   Lines without '=' are not keys: they are neither listed nor found (a read gives the
//   default), as on Windows. A key that stands twice is found at its first line. A line
//   "=value" has an empty key name: it is found as the key "", and it ends a list of the
//   section's key names (the list's names are separated by zero bytes, so an empty one
//   reads as the list's end).
// - Section and key names are matched without regard to ASCII case.
// - A value that starts and ends with the same quote (' or "), at least two characters
//   long, loses that one pair. The value is then cut at any zero byte and to the buffer.
namespace talvorin::formats::ini {

enum class Encoding { EightBit, Utf16 };

// A settings file's content as the functions below take it.
struct FileText {
    Encoding encoding = Encoding::EightBit;
    std::string text;
    // A UTF-16 file of an odd length: its last byte belongs to no character and is not in
    // the text, so the file cannot be written back as it was.
    bool strayByte = false;
};

// The file's bytes as text (see above); an 8-bit file's bytes are moved, not copied.
FileText decodeFile(std::string bytes);

// The text as the bytes of a file in the encoding, the UTF-16 byte-order mark first;
// nullopt when UTF-16 cannot hold the text (it is not UTF-8).
std::optional<std::string> encodeFile(Encoding encoding, std::string_view text);

// The buffers the callers give the Windows functions: a value's, and the key-name list's
// first one, which grows until every name fits.
inline constexpr std::size_t kValueBufferSize = 2048;
inline constexpr std::size_t kKeyNamesBufferSize = 16384;
inline constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

// The value as it is stored (blanks trimmed, nothing else changed); nullopt when the
// section or key is missing.
std::optional<std::string_view> findRawValue(std::string_view text, std::string_view section, std::string_view key);

// GetPrivateProfileStringA for one key: the value with one pair of quotes removed, at most
// bufferSize - 1 bytes; when missing, the default without its trailing blanks, likewise cut.
std::string readValue(std::string_view text, std::string_view section, std::string_view key, std::string_view def,
                      std::size_t bufferSize = kValueBufferSize);

// What readValue gives when the file itself is missing.
std::string defaultValue(std::string_view def, std::size_t bufferSize = kValueBufferSize);

// GetPrivateProfileIntA's conversion of a value read as above: leading blanks, an optional
// sign, then digits up to the first other character (hexadecimal after 0x, octal after 0o,
// binary after 0b, else decimal), wrapped to 32 bits; no digits give 0. An empty value gives
// the default (as a missing key does).
int toInt(std::string_view value, int def);

// GetPrivateProfileIntA: readValue followed by toInt.
int readInt(std::string_view text, std::string_view section, std::string_view key, int def);

// GetPrivateProfileStringA with no key name: the section's key names in file order, all of
// them, or with a buffer size as far as each whole name with its zero byte, and the list's
// closing zero byte, fit that buffer. Windows would also return the first name that does not
// fit, cut short; such a cut name names no key, so it is left out here. Comment lines and
// lines without '=' are not listed; a key that stands twice is listed twice; the list ends
// before the first empty key name.
std::vector<std::string> readKeyNames(std::string_view text, std::string_view section,
                                      std::size_t bufferSize = kUnlimited);

// The value of every key readKeyNames lists (all of them), in that order, each as readValue
// with an empty default reads it (a key that stands twice gives its first value twice): what
// listing the names and then reading each key gives, in one pass over the text.
std::vector<std::string> readSectionValues(std::string_view text, std::string_view section);

// Whether a value, a key and a section can be stored so that the key reads back:
// no CR, LF or zero byte anywhere, a key that is not empty, holds no '=' and does not
// start with ';' or '[', and a section name that is not empty.
bool canWrite(std::string_view section, std::string_view key, std::string_view value);

// Why a write that canWrite refuses cannot be done.
inline constexpr const char* kCannotStore =
    "a settings file cannot hold a line break or zero byte, an empty section name, or a key name that is empty, "
    "holds \"=\" or begins with \";\" or \"[\"";

// WritePrivateProfileStringA on the file's text, returning the new text: the first
// occurrence of the key in the first section of that name gets the new value in place of
// the old one; a missing key is added after the section's last non-blank line; a missing
// section is added at the end. New lines end in CR LF; every other byte stays as it was.
// Throws std::invalid_argument when canWrite is false.
std::string writeValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value);

}  // namespace talvorin::formats::ini
