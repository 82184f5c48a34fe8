#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

// The text format regedit exports (".reg"), read as a registry of its own: the keys below
// HKEY_LOCAL_MACHINE (also written HKLM) and their values. Portable, no system calls.
//
// Accepted: a "REGEDIT4" or "Windows Registry Editor Version 5.00" header as the first
// line that is not blank; the file as UTF-16LE (with or without a byte-order mark, as
// regedit 5 writes it) or as 8-bit text (a UTF-8 byte-order mark is skipped);
// [key] and [-key] (the key and everything below it removed); "name"= or @= (the default
// value) followed by "text" with \" and \\ escapes, dword:, hex:, hex(n): with lines
// continued by a final backslash, or - (the value removed); comments starting with ';'.
// A key brings its parent keys with it, as importing the file would. Lines that fit none
// of this are skipped, and so is everything below other roots. A text without the header
// holds no keys at all: regedit refuses such a file.
namespace talvorin::platform::reg {

// Value types as the registry numbers them (the n of hex(n)).
inline constexpr std::uint32_t kTypeString = 1;
inline constexpr std::uint32_t kTypeExpandString = 2;
inline constexpr std::uint32_t kTypeBinary = 3;
inline constexpr std::uint32_t kTypeDword = 4;

struct Value {
    std::uint32_t type = 0;
    // The text of a string type as UTF-8, up to its first zero character (hex(1) and
    // hex(2) data are UTF-16LE in a version 5 file and 8-bit text, passed on unchanged, in
    // a REGEDIT4 file); the bytes of any other type.
    std::string data;
};

class RegFile {
public:
    // Never fails: what cannot be read is left out.
    static RegFile parse(std::string_view fileBytes);

    // Whether the text had one of the two headers.
    bool hasHeader() const { return hasHeader_; }

    // Key paths are relative to HKEY_LOCAL_MACHINE, components separated by '\' (leading,
    // trailing and doubled ones ignored), matched without regard to ASCII case, as are
    // value names ("" is the default value).
    bool hasKey(std::string_view path) const;
    const Value* findValue(std::string_view keyPath, std::string_view valueName) const;

    // An open key holding a copy of the key's values; null when the key is missing.
    std::unique_ptr<RegistryKey> openKey(std::string_view path) const;

private:
    using Values = std::map<std::string, Value>;  // by upper-case name
    std::map<std::string, Values> keys_;           // by normalised upper-case path
    bool hasHeader_ = false;

    friend class RegFileParser;
};

// A file's bytes as UTF-8 text: UTF-16LE converted, a UTF-8 byte-order mark dropped,
// anything else unchanged.
std::string decodeText(std::string_view bytes);

// UTF-16LE to UTF-8; an odd last byte is dropped, unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(std::string_view bytes);

}  // namespace talvorin::platform::reg
