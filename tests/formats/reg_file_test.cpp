#include "formats/reg_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "formats/utf16.h"
#include "platform/file_helpers.h"
#include "platform/reg_file_registry.h"

namespace talvorin::formats {
namespace {

using platform::openRegFileKey;
using platform::testing::writeBytes;
using talvorin::testing::TempDir;

bool hasKey(const reg::RegFile& file, std::string_view path) { return openRegFileKey(file, path) != nullptr; }

// UTF-8 text as UTF-16LE bytes, as regedit 5 writes files and hex(2) data.
std::string utf16le(const std::string& utf8)
{
    std::string out;
    auto unit = [&out](std::uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        std::uint32_t cp = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += 1 + extra;
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

// Bytes as regedit lists them: "hex(2):41,00,...", continued over lines ending in '\'.
std::string regeditHex(const std::string& prefix, const std::string& bytes)
{
    std::string out = prefix;
    std::size_t column = prefix.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char item[4];
        std::snprintf(item, sizeof item, "%02x", static_cast<unsigned char>(bytes[i]));
        out += item;
        column += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++column;
            if (column > 76) {
                out += "\\\r\n  ";
                column = 2;
            }
        }
    }
    return out;
}

// What regedit 5 exports for the application's keys and SQL Server's port.
std::string version5Export()
{
    const std::string installDir = utf16le(std::string(
                                       "C:\\Program Files\\Velmora Deluxe\\Caf\xC3\xA9 \xE2\x82\xAC\\%APPDATA%")) +
                                   std::string(2, '\0');
    return "Windows Registry Editor Version 5.00\r\n"
           "\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVANTA\\ORVO3]\r\n"
           "\"ServerPath\"=\"C:\\\\Program Files\\\\Velmora\\\\Server\"\r\n"
           "\"Version\"=\"4.0\"\r\n"
           "\"Owner\"=\"Zo\xC3\xAB \\\"the admin\\\"\"\r\n"
           "\"Flags\"=dword:00000001\r\n"
           "\"InstallDir\"=" +
           regeditHex("hex(2):", installDir) +
           "\r\n"
           "\"Blob\"=hex:01,02,03\r\n"
           "\"Names\"=hex(7):61,00,00,00,00,00\r\n"
           "\"Plain\"=hex(1):31,00,2e,00,36,00,00,00\r\n"
           "@=\"default text\"\r\n"
           "\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\MSSQLServer\\SuperSocketNetLib\\Tcp]\r\n"
           "\"TcpDynamicPorts\"=\"\"\r\n"
           "\"TcpPort\"=\"1433\"\r\n"
           "\r\n";
}

void expectVersion5Content(const reg::RegFile& file)
{
    ASSERT_TRUE(hasKey(file, "")) << "the header was read";
    const auto key = openRegFileKey(file, "\\SOFTWARE\\QUORVANTA\\ORVO3");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readString("ServerPath"), "C:\\Program Files\\Velmora\\Server");
    EXPECT_EQ(key->readString("Version"), "4.0");
    EXPECT_EQ(key->readString("Owner"), "Zo\xC3\xAB \"the admin\"");
    EXPECT_EQ(key->readString("InstallDir"), "C:\\Program Files\\Velmora Deluxe\\Caf\xC3\xA9 \xE2\x82\xAC\\%APPDATA%");
    EXPECT_EQ(key->readString("Plain"), "1.6");
    EXPECT_EQ(key->readString(""), "default text");
    EXPECT_EQ(key->readString("Missing"), std::nullopt);
    EXPECT_THROW(key->readString("Flags"), platform::RegistryTypeError);
    EXPECT_THROW(key->readString("Blob"), platform::RegistryTypeError);
    EXPECT_THROW(key->readString("Names"), platform::RegistryTypeError);

    const auto tcp = openRegFileKey(file, "SOFTWARE\\Microsoft\\MSSQLServer\\MSSQLServer\\SuperSocketNetLib\\Tcp");
    ASSERT_NE(tcp, nullptr);
    EXPECT_EQ(tcp->readString("TcpPort"), "1433");
    EXPECT_EQ(tcp->readString("TcpDynamicPorts"), "");
}

TEST(RegFile, ReadsAVersion5ExportAsUtf16WithByteOrderMark)
{
    expectVersion5Content(reg::RegFile::parse("\xFF\xFE" + utf16le(version5Export())));
}

TEST(RegFile, ReadsAVersion5ExportAsUtf16WithoutByteOrderMark)
{
    expectVersion5Content(reg::RegFile::parse(utf16le(version5Export())));
}

TEST(RegFile, ReadsAVersion5ExportSavedAsUtf8)
{
    expectVersion5Content(reg::RegFile::parse("\xEF\xBB\xBF" + version5Export()));
    // Without the mark it is 8-bit text in code page 1252, as regedit reads it, and so is its
    // hex(2) data.
    const auto ansi = reg::RegFile::parse(version5Export());
    const auto key = openRegFileKey(ansi, "\\SOFTWARE\\QUORVANTA\\ORVO3");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readString("Version"), "4.0");
    EXPECT_EQ(key->readString("Owner"), "Zo\xC3\x83\xC2\xAB \"the admin\"");
    EXPECT_EQ(key->readString("InstallDir"), "C");
}

TEST(RegFile, ReadsARegedit4ExportWithEightBitExpandableStrings)
{
    const std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVANTA\\ORVO]\n"
                             "\"ServerPath\"=\"\"\n\"VERSION\"=\"1.5\"\n"
                             "\"Expand\"=hex(2):25,57,49,4e,44,49,52,25,5c,\\\n  78,00\n";
    const auto file = reg::RegFile::parse(text);
    const auto key = openRegFileKey(file, "\\SOFTWARE\\QUORVANTA\\ORVO");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readString("ServerPath"), "");
    EXPECT_EQ(key->readString("Version"), "1.5");
    EXPECT_EQ(key->readString("Expand"), "%WINDIR%\\x");
}

TEST(RegFile, MatchesKeysAndValueNamesWithoutRegardToCase)
{
    const auto file = reg::RegFile::parse(version5Export());
    const auto key = openRegFileKey(file, "\\software\\quorvanta\\orvo3\\");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readString("SERVERPATH"), "C:\\Program Files\\Velmora\\Server");
    EXPECT_EQ(key->readString("version"), "4.0");
    EXPECT_TRUE(hasKey(file, "SOFTWARE\\\\QUORVANTA"));  // a parent exists with its child
    EXPECT_TRUE(hasKey(file, ""));
    EXPECT_FALSE(hasKey(file, "SOFTWARE\\QUORVANTA\\ORVO"));
    EXPECT_EQ(openRegFileKey(file, "\\SOFTWARE\\QUORVANTA\\ORVO"), nullptr);
}

TEST(RegFile, SkipsCommentsBadLinesAndOtherRoots)
{
    const std::string text = "Windows Registry Editor Version 5.00\n"
                             "; exported by hand\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n"
                             "\"Good\"=\"1\"\n"
                             "garbage line\n"
                             "\"Unterminated=\"abc\n"
                             "\"Trailing\"=\"abc\" junk\n"
                             "\"BadDword\"=dword:xyz\n"
                             "\"LongDword\"=dword:123456789\n"
                             "\"BadHex\"=hex:zz,01\n"
                             "\"BadType\"=hex(q):01\n"
                             "\"NoEquals\" \"x\"\n"
                             "  \"Spaced\" = \"ok\"  \n"
                             "\"Escapes\"=\"a\\\\b\\\"c\\d\"\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Unclosed\n"
                             "\"Lost\"=\"3\"\n"
                             "[HKEY_CURRENT_USER\\SOFTWARE\\Test]\n"
                             "\"User\"=\"x\"\n"
                             "[HKLM\\SOFTWARE\\Short]\n"
                             "\"S\"=\"s\"\n";
    const auto file = reg::RegFile::parse(text);
    const auto key = openRegFileKey(file, "SOFTWARE\\Test");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readString("Good"), "1");
    EXPECT_EQ(key->readString("Spaced"), "ok");
    // An escaped character that is no escape stands for itself; its backslash goes.
    EXPECT_EQ(key->readString("Escapes"), "a\\b\"cd");
    for (const char* name : {"Unterminated=", "Unterminated", "Trailing", "BadDword", "LongDword", "BadHex", "BadType",
                             "NoEquals", "Lost", "User"})
        EXPECT_EQ(file.findValue("SOFTWARE\\Test", name), nullptr) << name;
    EXPECT_FALSE(hasKey(file, "SOFTWARE\\Unclosed"));
    ASSERT_NE(openRegFileKey(file, "SOFTWARE\\Short"), nullptr);
    EXPECT_EQ(openRegFileKey(file, "SOFTWARE\\Short")->readString("s"), "s");
}

TEST(RegFile, HonoursRemovedKeysAndValues)
{
    const std::string text = "REGEDIT4\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B]\r\n\"v\"=\"1\"\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B\\Deeper]\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\BB]\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\C]\r\n\"w\"=\"2\"\r\n\"x\"=\"3\"\r\n"
                             "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B]\r\n"
                             "\"ignored\"=\"4\"\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\C]\r\n\"w\"=-\r\n\"x\"=\"33\"\r\n";
    const auto file = reg::RegFile::parse(text);
    EXPECT_FALSE(hasKey(file, "SOFTWARE\\A\\B"));
    EXPECT_FALSE(hasKey(file, "SOFTWARE\\A\\B\\Deeper"));
    EXPECT_TRUE(hasKey(file, "SOFTWARE\\A\\BB"));
    EXPECT_TRUE(hasKey(file, "SOFTWARE\\A"));
    EXPECT_EQ(file.findValue("SOFTWARE\\A\\C", "w"), nullptr);
    const auto c = openRegFileKey(file, "SOFTWARE\\A\\C");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->readString("x"), "33");
}

TEST(RegFile, ATextWithoutHeaderHoldsNoKeys)
{
    for (const std::string& text : {std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"v\"=\"1\"\n"),
                                    std::string("REGEDIT5\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n"), std::string(),
                                    std::string("\x00\x01\x02garbage", 10),
                                    // The header must be the first line, and all of it.
                                    std::string("\r\nREGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"),
                                    std::string("REGEDIT4 \r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"),
                                    std::string("regedit4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n")}) {
        const auto file = reg::RegFile::parse(text);
        EXPECT_FALSE(hasKey(file, "")) << "the root key stands for a header read";
        EXPECT_FALSE(hasKey(file, "SOFTWARE\\A"));
    }
}

// What one value line, or a few lines, leave in the key they stand in.
struct Imported {
    const char* name;                   // the value's name
    std::optional<std::uint32_t> type;  // nullopt: not imported
    std::string data;                   // UTF-8 text of a string type, the bytes of others
};

std::string dword(std::uint32_t n)
{
    std::string out;
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((n >> shift) & 0xFF);
    return out;
}

constexpr const char* kTestKey = "[HKEY_LOCAL_MACHINE\\Software\\T]\r\n";

// Each body is a file of its own, after the header and the key line, so that lines which
// run on into the next line cannot reach another case.
void expectImported(const std::vector<std::pair<std::string, std::vector<Imported>>>& files,
                    const std::string& header = "REGEDIT4")
{
    for (const auto& [body, values] : files) {
        const auto file = reg::RegFile::parse(header + "\r\n\r\n" + kTestKey + body);
        for (const Imported& want : values) {
            const reg::Value* got = file.findValue("Software\\T", want.name);
            if (!want.type) {
                EXPECT_EQ(got, nullptr) << want.name << " in\n" << body;
                continue;
            }
            ASSERT_NE(got, nullptr) << want.name << " in\n" << body;
            EXPECT_EQ(got->type, *want.type) << want.name << " in\n" << body;
            EXPECT_EQ(got->data, want.data) << want.name << " in\n" << body;
        }
    }
}

constexpr std::uint32_t kSz = reg::kTypeString, kExpand = reg::kTypeExpandString, kBin = reg::kTypeBinary,
                        kDw = reg::kTypeDword;
const std::optional<std::uint32_t> kMissing;

TEST(RegFileLines, ACommentMayFollowAValueAfterASemicolon)
{
    expectImported({
        {"\"Wine3\"=\"Value 1\"#comment\r\n\"Wine4\"=\"Value 2\";comment\r\n"
         "\"Wine5\"=dword:01020304 #comment\r\n\"Wine6\"=dword:02040608 ;comment\r\n",
         {{"Wine3", kMissing, ""},
          {"Wine4", kSz, "Value 2"},
          {"Wine5", kMissing, ""},
          {"Wine6", kDw, dword(0x02040608)}}},
        {"\"Wine26a\"=\"Value1\"  ;comment\r\n\"Wine26b\"=\"Value2\"\t\t;comment\r\n\"Wine26c\"=\"Value3\"  #comment\r\n"
         "\"Wine18\"=\"Value;comment4\"\r\n\"Wine14\"=;\"Value 9\"\r\n",
         {{"Wine26a", kSz, "Value1"},
          {"Wine26b", kSz, "Value2"},
          {"Wine26c", kMissing, ""},
          {"Wine18", kSz, "Value;comment4"},
          {"Wine14", kMissing, ""}}},
        {"\"Wine25a\"=dword:1234;5678\r\n\"Wine25c\"=dword:1234#5678\r\n"
         "\"Wine27a\"=hex(2):25,50,41,54,48,25,00  ;comment\r\n\"Wine27c\"=hex(2):25,50,41,54,48,25,00  #comment\r\n"
         "\"bin\"=hex:11,22;note\r\n",
         {{"Wine25a", kDw, dword(0x1234)},
          {"Wine25c", kMissing, ""},
          {"Wine27a", kExpand, "%PATH%"},
          {"Wine27c", kMissing, ""},
          {"bin", kBin, "\x11\x22"}}},
        {"\"d1\"=\"x\"\r\n\"d2\"=\"x\"\r\n\"d3\"=\"x\"\r\n\"d1\"=- ;comment\r\n\"d2\"=- #comment\r\n\"d3\"=-\"Test\"\r\n",
         {{"d1", kMissing, ""}, {"d2", kSz, "x"}, {"d3", kSz, "x"}}},
    });
    const auto file = reg::RegFile::parse(std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\T\\A]\r\n") +
                                          "[-HKEY_LOCAL_MACHINE\\Software\\T\\A] ;gone\r\n");
    EXPECT_FALSE(hasKey(file, "Software\\T\\A"));
}

TEST(RegFileLines, HexDataGoesOnAfterABackslashAsRegeditReadsIt)
{
    expectImported({
        {"\"a\"=hex:11,22,\\\r\n  33,44\r\n\"b\"=hex:11,  \\\r\n  22\r\n",
         {{"a", kBin, "\x11\x22\x33\x44"}, {"b", kBin, "\x11\x22"}}},
        // A comment after the backslash, blank lines and comment lines inside.
        {"\"a\"=hex:11,\\;note\r\n  22,\\  ;note\r\n\r\n  33\r\n", {{"a", kBin, "\x11\x22\x33"}}},
        {"\"a\"=hex:11,\\\r\n;note\r\n  ;note\r\n\t\r\n  22\r\n", {{"a", kBin, "\x11\x22"}}},
        {"\"a\"=hex:11,\\#note\r\n  22\r\n", {{"a", kMissing, ""}}},
        // The end of the file ends the data.
        {"\"a\"=hex:11,22,\\", {{"a", kBin, "\x11\x22"}}},
        {"\"a\"=hex(2):25,50,41,54,48,25,\\\r\n\r\n", {{"a", kExpand, "%PATH%"}}},
        // A byte split over two lines, or a backslash without a comma before it.
        {"\"a\"=hex:11,2\\\r\n2,33\r\n", {{"a", kMissing, ""}}},
        {"\"a\"=hex:11,22\\\r\n  33\r\n\"b\"=\"next\"\r\n", {{"a", kMissing, ""}, {"b", kSz, "next"}}},
        // A line that is no hex data spoils the value and goes with it.
        {"\"a\"=hex:11,\\\r\n\"b\"=\"lost\"\r\n\"c\"=\"kept\"\r\n",
         {{"a", kMissing, ""}, {"b", kMissing, ""}, {"c", kSz, "kept"}}},
        {"\"a\"=hex:11,\\\r\n;note\r\n@=\"lost\"\r\n", {{"a", kMissing, ""}, {"", kMissing, ""}}},
        {"\"a\"=hex:11,\\\r\n#note\r\n\"b\"=\"kept\"\r\n", {{"a", kMissing, ""}, {"b", kSz, "kept"}}},
        {"\"a\"=hex:11,\\\r\n  ,22\r\n\"b\"=hex:11,\\\r\n\\\r\n  22\r\n", {{"a", kMissing, ""}, {"b", kMissing, ""}}},
        {"\"a\"=hex:11,\\\r\n[HKEY_LOCAL_MACHINE\\Software\\T\\Sub]\r\n\"c\"=\"in T\"\r\n",
         {{"a", kMissing, ""}, {"c", kSz, "in T"}}},
        // Only hex data goes on.
        {"\"b\"=dword:1234\\\r\n5678\r\n\"c\"=\"kept\"\r\n", {{"b", kMissing, ""}, {"c", kSz, "kept"}}},
    });
    const auto file = reg::RegFile::parse(std::string("REGEDIT4\r\n") + kTestKey + "\"a\"=hex:11,\\\r\n" +
                                          "[HKEY_LOCAL_MACHINE\\Software\\T\\Sub]\r\n");
    EXPECT_FALSE(hasKey(file, "Software\\T\\Sub")) << "the key line went with the spoilt value";
}

TEST(RegFileLines, TypesAndBytesAreReadStrictly)
{
    expectImported({
        {"\"a\"=DWORD:00000001\r\n\"b\"=HEX:01\r\n\"c\"=Hex(2):41,00\r\n\"d\"=hex(2):41,00\r\n",
         {{"a", kMissing, ""}, {"b", kMissing, ""}, {"c", kMissing, ""}, {"d", kExpand, "A"}}},
        {"\"a\"=hex:11 ,22\r\n\"b\"=hex: 11, 22 \r\n\"c\"=hex:1,2\r\n\"d\"=hex:11,,22\r\n\"e\"=hex:,11\r\n\"f\"=hex:\r\n"
         "\"g\"=hex:100\r\n",
         {{"a", kMissing, ""},
          {"b", kBin, "\x11\x22"},
          {"c", kBin, "\x01\x02"},
          {"d", kMissing, ""},
          {"e", kMissing, ""},
          {"f", kBin, ""},
          {"g", kMissing, ""}}},
        {"\"a\"=hex(2 ):41,00\r\n\"b\"=hex( 2):41,00\r\n\"c\"=hex(0x2):41,00\r\n\"d\"=hex(100000000):01\r\n"
         "\"e\"=hex(ffffffff):01\r\n",
         {{"a", kMissing, ""},
          {"b", kExpand, "A"},
          {"c", kMissing, ""},
          {"d", kMissing, ""},
          {"e", 0xFFFFFFFFu, "\x01"}}},
        {"\"a\"=dword:123456789\r\n\"b\"=dword:\r\n\"c\"=dword:  0000000A\t\r\n\"d\"=dword:12345678 abc\r\n",
         {{"a", kMissing, ""}, {"b", kMissing, ""}, {"c", kDw, dword(10)}, {"d", kMissing, ""}}},
    });
}

TEST(RegFileLines, TextEscapes)
{
    expectImported({
        {"\"a\"=\"\\\\0\"\r\n\"b\"=\"x\\ny\\rz\"\r\n\"c\"=\"C:\\Windows\"\r\n\"d\"=\"say \\\"hi\\\"\"\r\n",
         {{"a", kSz, "\\0"}, {"b", kSz, "x\ny\rz"}, {"c", kSz, "C:Windows"}, {"d", kSz, "say \"hi\""}}},
        // regedit stores no text with a zero character in it, and reads no further.
        {"\"z\"=\"before\"\r\n\"a\"=\"\\0\"\r\n\"c\"=\"after\"\r\n[HKEY_LOCAL_MACHINE\\Software\\T\\Sub]\r\n",
         {{"z", kSz, "before"}, {"a", kMissing, ""}, {"c", kMissing, ""}}},
        {"\"b\"=\"x\\0y\"\r\n\"c\"=\"after\"\r\n", {{"b", kMissing, ""}, {"c", kMissing, ""}}},
        {"\"b\"=\"ends in \\\r\n\"c\"=\"after\"\r\n", {{"b", kMissing, ""}, {"c", kMissing, ""}}},
        // A name is only refused.
        {"\"d\\0\"=\"x\"\r\n\"c\"=\"kept\"\r\n", {{"d", kMissing, ""}, {"c", kSz, "kept"}}},
        {"\"a\"=\"ends in \\\"\r\n\"c\"=\"kept\"\r\n", {{"a", kMissing, ""}, {"c", kSz, "kept"}}},
    });
}

TEST(RegFileLines, KeyNamesAsRegeditReadsThem)
{
    const std::string base = "[HKEY_LOCAL_MACHINE\\Software\\T";
    const auto file = reg::RegFile::parse(
        "REGEDIT4\r\n" + base + "\\A]\r\n" + base + "\\B]\r\n" + base + "\\C]\r\n" +
        "[ HKEY_LOCAL_MACHINE\\Software\\T\\Blank]\r\n" +
        "[\tHKEY_LOCAL_MACHINE\\Software\\T\\Tab]\r\n\"lost\"=\"1\"\r\n" +
        "[HKEY_LOCAL_MACHINE \\Software\\T\\Root]\r\n" + base + "\\Spaced ]\r\n" + base + "\\K] trailing\r\n" + base +
        "\\L]x]y\r\n" + "[- HKEY_LOCAL_MACHINE\\Software\\T\\A]\r\n" + "[ -HKEY_LOCAL_MACHINE\\Software\\T\\B]\r\n" +
        "[-HKEY_LOCAL_MACHINE\\Software\\T\\C]\r\n");
    for (const char* key :
         {"Software\\T\\A", "Software\\T\\B", "Software\\T\\Spaced ", "Software\\T\\K", "Software\\T\\L]x"})
        EXPECT_TRUE(hasKey(file, key)) << key;
    for (const char* key :
         {"Software\\T\\C", "Software\\T\\Blank", "Software\\T\\Tab", "Software\\T\\Root", "Software\\T\\Spaced"})
        EXPECT_FALSE(hasKey(file, key)) << key;
    // A line that names no key closes the one before it.
    EXPECT_EQ(file.findValue("Software\\T\\C", "lost"), nullptr);
}

TEST(RegFile, Regedit4TextIsInCodePage1252)
{
    const std::string text = std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\Caf\xE9]\r\n") +
                             "\"ServerPath\"=\"C:\\\\Z\xFCrich \x80\x81\"\r\n\"\xC4nderung\"=\"1\"\r\n" +
                             "\"Expand\"=hex(2):25,e9,80,25,00\r\n";
    const auto file = reg::RegFile::parse(text);
    const auto key = openRegFileKey(file, "Software\\Caf\xC3\xA9");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readString("ServerPath"), "C:\\Z\xC3\xBCrich \xE2\x82\xAC\xC2\x81");
    EXPECT_EQ(key->readString("\xC3\x84nderung"), "1");
    EXPECT_EQ(key->readString("Expand"), "%\xC3\xA9\xE2\x82\xAC%");
    // Saved as UTF-8 with its mark, the same file is read as UTF-8; a version 5 file is.
    const auto utf8 = reg::RegFile::parse("\xEF\xBB\xBFREGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\Caf\xC3\xA9]\r\n"
                                          "\"V\"=\"\xE2\x82\xAC\"\r\n");
    ASSERT_NE(openRegFileKey(utf8, "Software\\Caf\xC3\xA9"), nullptr);
    EXPECT_EQ(openRegFileKey(utf8, "Software\\Caf\xC3\xA9")->readString("V"), "\xE2\x82\xAC");
}

TEST(RegFile, ConvertsUtf16ToUtf8)
{
    EXPECT_EQ(utf16leToUtf8(utf16le("plain")), "plain");
    EXPECT_EQ(utf16leToUtf8(utf16le("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80")), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(utf16leToUtf8(std::string("\x00\xD8x\x00", 4)), "\xEF\xBF\xBDx");  // lone surrogate
    EXPECT_EQ(utf16leToUtf8(std::string("a\x00z", 3)), "a");                     // odd last byte
}

}  // namespace
}  // namespace talvorin::formats
