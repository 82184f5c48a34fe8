// The INI text engine: any bytes read without a fault, and a value written where canWrite
// allows it reads back as the format says, with every other key left as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/ascii.h"
#include "formats/ini_text.h"
#include "support/ini_sections.h"

namespace ini = talvorin::formats::ini;

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a'; }

std::string trimmed(std::string_view s)
{
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

// What reading a value stored as written gives: blanks dropped, one pair of quotes taken
// off, cut to the buffer.
std::string expectedRead(std::string_view written)
{
    std::string v = trimmed(written);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v.substr(0, ini::kValueBufferSize - 1);
}

[[noreturn]] void fail(const char* what)
{
    __builtin_trap();
    (void)what;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(24);
    const std::string key = in.ConsumeRandomLengthString(24);
    const std::string value = in.ConsumeRandomLengthString(64);
    const std::string text = in.ConsumeRemainingBytesAsString();

    // Reading never fails, whatever the bytes.
    const std::string before = ini::readValue(text, section, key, "dflt");
    (void)ini::readInt(text, section, key, 7);
    const auto sections = talvorin::testing::iniSectionNames(text);
    if (ini::readSectionValues(text, section).size() != ini::readKeyNames(text, section).size())
        fail("one value per listed key");
    if (before.size() >= ini::kValueBufferSize) fail("value longer than the buffer");

    if (!ini::canWrite(section, key, value)) return 0;
    const std::string after = ini::writeValue(text, section, key, value);
    if (ini::readValue(after, section, key, "dflt", ini::kValueBufferSize) != expectedRead(value))
        fail("written value does not read back");

    // Every other key of every section keeps its value.
    for (const std::string& other : sections) {
        const bool sameSection = talvorin::formats::equalsNoCase(other, trimmed(section));
        for (const std::string& name : ini::readKeyNames(text, other)) {
            if (sameSection && talvorin::formats::equalsNoCase(trimmed(name), trimmed(key))) continue;
            if (ini::readValue(text, other, name, "") != ini::readValue(after, other, name, ""))
                fail("another key changed");
        }
    }
    return 0;
}
