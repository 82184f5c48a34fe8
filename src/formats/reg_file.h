#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// The text format regedit exports (".reg"), read into keys and values: the keys below
// HKEY_LOCAL_MACHINE (also written HKLM) and their values, line by line as regedit imports
// them. Portable, no system calls.
//
// - The first line is the header "REGEDIT4" or "Windows Registry Editor Version 5.00"
//   (blanks before it allowed); a text without it holds no keys at all, as regedit refuses
//   such a file.
// - The file is UTF-16LE (with a byte-order mark, as regedit 5 writes it, or without one)
//   or 8-bit text in the ANSI code page 1252, whichever the header; after a UTF-8 byte-order
//   mark (skipped) it is UTF-8.
// - [key] opens a key and brings its parents with it; [-key] removes the key and everything
//   below it. The name runs to the last ']' of the line; a blank after '[' or '[-' makes the
//   line name nothing, and so does an unknown root.
// - "name"= or @= (the default value), blanks around '=' allowed, then one of: "text"
//   (\\ \" \n \r escapes; any other character after a backslash stands for itself), dword:
//   (up to 8 hex digits), hex: or hex(n): (bytes separated by commas, continued over lines
//   by a backslash after a comma), or - (the value removed). A comment (';', not '#') may
//   follow after blanks. A text holding \0, or whose line ends in its backslash, ends the
//   file for regedit: nothing after it is read.
// - A continued value goes on in the next line that is neither blank nor a comment; when
//   that line starts with anything but a hex digit it spoils the value and is used up with
//   it. The end of the file ends the data.
// - Lines that fit none of this, comment lines (';' or '#') among them, are passed over, and
//   so is everything below other roots.
namespace talvorin::formats::reg {

// Value types as the registry numbers them (the n of hex(n)).
inline constexpr std::uint32_t kTypeString = 1;
inline constexpr std::uint32_t kTypeExpandString = 2;
inline constexpr std::uint32_t kTypeBinary = 3;
inline constexpr std::uint32_t kTypeDword = 4;

struct Value {
    std::uint32_t type = 0;
    // The text of a string type as UTF-8, up to its first zero character (hex(1) and
    // hex(2) data are UTF-16LE in a UTF-16 file, 8-bit text of code page 1252 in an 8-bit
    // one); the bytes of any other type.
    std::string data;
};

class RegFile {
public:
    // Never fails: what cannot be read is left out.
    static RegFile parse(std::string_view fileBytes);

    // Key paths are relative to HKEY_LOCAL_MACHINE, components separated by '\' (leading,
    // trailing and doubled ones ignored), matched without regard to ASCII case, as are
    // value names ("" is the default value).
    const Value* findValue(std::string_view keyPath, std::string_view valueName) const;

    using Values = std::map<std::string, Value>;  // by upper-case name

    // The key's values; null when the key is missing.
    const Values* findKey(std::string_view keyPath) const;

private:
    std::map<std::string, Values> keys_;  // by normalised upper-case path

    friend class RegFileParser;
};

}  // namespace talvorin::formats::reg
