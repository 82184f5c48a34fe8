#include "platform/reg_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/registry.h"
#include "platform/file_helpers.h"

namespace talvorin::platform {
namespace {

using talvorin::testing::ScopedEnv;
using talvorin::testing::TempDir;
using testing::writeBytes;

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
    const std::string installDir = utf16le(std::string("C:\\Program Files\\Velmora Deluxe\\Caf\xC3\xA9 \xE2\x82\xAC\\%APPDATA%")) +
                                   std::string(2, '\0');
    return "Windows Registry Editor Version 5.00\r\n"
           "\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVANTA\\ORVO3]\r\n"
           "\"ServerPath\"=\"C:\\\\Program Files\\\\Velmora\\\\Server\"\r\n"
           "\"Version\"=\"4.0\"\r\n"
           "\"Owner\"=\"Zo\xC3\xAB \\\"the admin\\\"\"\r\n"
           "\"Flags\"=dword:00000001\r\n"
           "\"InstallDir\"=" + regeditHex("hex(2):", installDir) + "\r\n"
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
    ASSERT_TRUE(file.hasHeader());
    const auto key = file.openKey("\\SOFTWARE\\QUORVANTA\\ORVO3");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readString("ServerPath"), "C:\\Program Files\\Velmora\\Server");
    EXPECT_EQ(key->readString("Version"), "4.0");
    EXPECT_EQ(key->readString("Owner"), "Zo\xC3\xAB \"the admin\"");
    EXPECT_EQ(key->readString("InstallDir"), "C:\\Program Files\\Velmora Deluxe\\Caf\xC3\xA9 \xE2\x82\xAC\\%APPDATA%");
    EXPECT_EQ(key->readString("Plain"), "1.6");
    EXPECT_EQ(key->readString(""), "default text");
    EXPECT_EQ(key->readString("Missing"), std::nullopt);
    EXPECT_THROW(key->readString("Flags"), RegistryTypeError);
    EXPECT_THROW(key->readString("Blob"), RegistryTypeError);
    EXPECT_THROW(key->readString("Names"), RegistryTypeError);

    const auto tcp = file.openKey("SOFTWARE\\Microsoft\\MSSQLServer\\MSSQLServer\\SuperSocketNetLib\\Tcp");
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
    expectVersion5Content(reg::RegFile::parse(version5Export()));
    expectVersion5Content(reg::RegFile::parse("\xEF\xBB\xBF" + version5Export()));
}

TEST(RegFile, ReadsARegedit4ExportWithEightBitExpandableStrings)
{
    const std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVANTA\\ORVO]\n"
                             "\"ServerPath\"=\"\"\n\"VERSION\"=\"1.5\"\n"
                             "\"Expand\"=hex(2):25,57,49,4e,44,49,52,25,5c,\\\n  78,00\n";
    const auto file = reg::RegFile::parse(text);
    const auto key = file.openKey("\\SOFTWARE\\QUORVANTA\\ORVO");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readString("ServerPath"), "");
    EXPECT_EQ(key->readString("Version"), "1.5");
    EXPECT_EQ(key->readString("Expand"), "%WINDIR%\\x");
}

TEST(RegFile, MatchesKeysAndValueNamesWithoutRegardToCase)
{
    const auto file = reg::RegFile::parse(version5Export());
    const auto key = file.openKey("\\software\\quorvanta\\orvo3\\");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readString("SERVERPATH"), "C:\\Program Files\\Velmora\\Server");
    EXPECT_EQ(key->readString("version"), "4.0");
    EXPECT_TRUE(file.hasKey("SOFTWARE\\\\QUORVANTA"));  // a parent exists with its child
    EXPECT_TRUE(file.hasKey(""));
    EXPECT_FALSE(file.hasKey("SOFTWARE\\QUORVANTA\\ORVO"));
    EXPECT_EQ(file.openKey("\\SOFTWARE\\QUORVANTA\\ORVO"), nullptr);
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
    const auto key = file.openKey("SOFTWARE\\Test");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readString("Good"), "1");
    EXPECT_EQ(key->readString("Spaced"), "ok");
    EXPECT_EQ(key->readString("Escapes"), "a\\b\"c\\d");
    for (const char* name : {"Unterminated=", "Unterminated", "Trailing", "BadDword", "LongDword", "BadHex",
                             "BadType", "NoEquals", "Lost", "User"})
        EXPECT_EQ(file.findValue("SOFTWARE\\Test", name), nullptr) << name;
    EXPECT_FALSE(file.hasKey("SOFTWARE\\Unclosed"));
    ASSERT_NE(file.openKey("SOFTWARE\\Short"), nullptr);
    EXPECT_EQ(file.openKey("SOFTWARE\\Short")->readString("s"), "s");
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
    EXPECT_FALSE(file.hasKey("SOFTWARE\\A\\B"));
    EXPECT_FALSE(file.hasKey("SOFTWARE\\A\\B\\Deeper"));
    EXPECT_TRUE(file.hasKey("SOFTWARE\\A\\BB"));
    EXPECT_TRUE(file.hasKey("SOFTWARE\\A"));
    EXPECT_EQ(file.findValue("SOFTWARE\\A\\C", "w"), nullptr);
    const auto c = file.openKey("SOFTWARE\\A\\C");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->readString("x"), "33");
}

TEST(RegFile, ATextWithoutHeaderHoldsNoKeys)
{
    for (const std::string& text : {std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"v\"=\"1\"\n"),
                                     std::string("REGEDIT5\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n"), std::string(),
                                     std::string("\x00\x01\x02garbage", 10)}) {
        const auto file = reg::RegFile::parse(text);
        EXPECT_FALSE(file.hasHeader());
        EXPECT_FALSE(file.hasKey("SOFTWARE\\A"));
        EXPECT_FALSE(file.hasKey(""));
    }
}

TEST(RegFile, ConvertsUtf16ToUtf8)
{
    EXPECT_EQ(reg::utf16leToUtf8(utf16le("plain")), "plain");
    EXPECT_EQ(reg::utf16leToUtf8(utf16le("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80")), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(reg::utf16leToUtf8(std::string("\x00\xD8x\x00", 4)), "\xEF\xBF\xBDx");  // lone surrogate
    EXPECT_EQ(reg::utf16leToUtf8(std::string("a\x00z", 3)), "a");                       // odd last byte
}

class SystemRegistryTest : public ::testing::Test {
protected:
    TempDir folder;
    const std::string file = folder / "machine.reg";
};

TEST_F(SystemRegistryTest, EveryKeyIsMissingWithoutAReadableFile)
{
    writeBytes(file, version5Export());
    for (const char* value : {static_cast<const char*>(nullptr), "", "/no/such/file.reg"}) {
        ScopedEnv env("TALVORIN_REGISTRY", value);
        EXPECT_EQ(systemRegistry().openKey("\\SOFTWARE\\QUORVANTA\\ORVO3"), nullptr);
    }
    ScopedEnv env("TALVORIN_REGISTRY", folder.str().c_str());  // a folder, not a file
    EXPECT_EQ(systemRegistry().openKey("\\SOFTWARE\\QUORVANTA\\ORVO3"), nullptr);
}

TEST_F(SystemRegistryTest, ReadsTheFileAnewForEveryKey)
{
    ScopedEnv env("TALVORIN_REGISTRY", file.c_str());
    EXPECT_EQ(systemRegistry().openKey("\\SOFTWARE\\QUORVANTA\\ORVO3"), nullptr);

    writeBytes(file, "\xFF\xFE" + utf16le(version5Export()));
    auto key = systemRegistry().openKey("\\SOFTWARE\\QUORVANTA\\ORVO3");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readString("Version"), "4.0");

    writeBytes(file, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVANTA\\ORVO3]\n\"Version\"=\"4.1\"\n");
    key = systemRegistry().openKey("\\SOFTWARE\\QUORVANTA\\ORVO3");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readString("Version"), "4.1");
    EXPECT_EQ(systemRegistry().openKey("SOFTWARE\\Microsoft\\MSSQLServer"), nullptr);
}

}  // namespace
}  // namespace talvorin::platform
