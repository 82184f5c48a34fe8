// The .reg reader: any bytes parse without a fault into valid UTF-8 names and texts, and a
// string value spelt with the format's escapes is found with exactly its text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "formats/reg_file.h"
#include "formats/utf16.h"

namespace reg = talvorin::formats::reg;

namespace {

bool validUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char lead = static_cast<unsigned char>(s[i]);
        std::size_t n = lead < 0x80             ? 1
                        : (lead & 0xE0) == 0xC0 ? 2
                        : (lead & 0xF0) == 0xE0 ? 3
                        : (lead & 0xF8) == 0xF0 ? 4
                                                : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        // A surrogate is no character: the reader shows a lone one as U+FFFD.
        if (lead == 0xED && static_cast<unsigned char>(s[i + 1]) >= 0xA0) return false;
        i += n;
    }
    return true;
}

std::string escaped(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// Bytes that may stand in a name or a text of one line: no line break and no NUL.
std::string oneLine(std::string s)
{
    for (char& c : s)
        if (c == '\r' || c == '\n' || c == '\0') c = '_';
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool tryValue = in.ConsumeBool();
    const std::string name = oneLine(in.ConsumeRandomLengthString(16));
    const std::string text = oneLine(in.ConsumeRandomLengthString(64));
    const std::string rest = in.ConsumeRemainingBytesAsString();

    if (!validUtf8(talvorin::formats::utf16leToUtf8(rest))) __builtin_trap();
    const reg::RegFile any = reg::RegFile::parse(rest);
    (void)any.findValue("SOFTWARE\\QUORVANTA\\ORVO3", "Version");
    (void)any.findKey("SOFTWARE");

    if (!tryValue || !validUtf8(text) || !validUtf8(name)) return 0;
    // Written as regedit 5 writes it, in UTF-16, which carries every character of the text;
    // an 8-bit file would be read in code page 1252.
    const auto file = talvorin::formats::utf8ToUtf16le(
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fuzz]\r\n\"" + escaped(name) +
        "\"=\"" + escaped(text) + "\"\r\n");
    if (!file) return 0;
    const reg::RegFile spelt = reg::RegFile::parse("\xFF\xFE" + *file);
    const reg::Value* found = spelt.findValue("SOFTWARE\\Fuzz", name);
    if (!found || found->type != reg::kTypeString || found->data != text) __builtin_trap();
    return 0;
}
