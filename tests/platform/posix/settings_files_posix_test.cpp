// The POSIX reader's own rules for UTF-16 files: this build's text is UTF-8.
#include "platform/settings_files.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_helpers.h"
#include "support/temp_dir.h"

namespace talvorin::platform {
namespace {

using testing::entryCount;
using testing::readBytes;
using testing::writeBytes;

// ASCII text as UTF-16 after its byte-order mark; big-endian with the reversed mark.
std::string unicodeFile(const std::string& ascii, bool littleEndian = true)
{
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char c : ascii) out += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
    return out;
}

class SettingsFilesPosix : public ::testing::Test {
protected:
    void expectWriteRefused(const std::string& key, const std::string& value)
    {
        try {
            settings.writeString(file, "DB", key, value);
            FAIL() << "the write succeeded";
        } catch (const SettingsWriteError& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + file);
        }
    }

    talvorin::testing::TempDir folder;
    const std::string file = folder / "dbsvr.ini";
    SettingsFiles& settings = systemSettingsFiles();
};

TEST_F(SettingsFilesPosix, Utf16TextIsUtf8ForTheProgram)
{
    writeBytes(file, unicodeFile("[DB]\r\nUser=caf") + std::string("\xE9\x00", 2) + unicodeFile("\r\n").substr(2));
    EXPECT_EQ(settings.readString(file, "DB", "User", ""), "caf\xC3\xA9");
    settings.writeString(file, "DB", "Port", "\xE2\x82\xAC");
    EXPECT_EQ(readBytes(file), unicodeFile("[DB]\r\nUser=caf") + std::string("\xE9\x00", 2) +
                                   unicodeFile("\r\nPort=").substr(2) + "\xAC\x20" + unicodeFile("\r\n").substr(2));
}

TEST_F(SettingsFilesPosix, ABigEndianMarkMakesNoUtf16File)
{
    // As Windows 10 reads it: 8-bit text whose zero bytes hide everything in it.
    writeBytes(file, unicodeFile("[DataMigration]\r\nMig_Done=Done\r\n", false));
    EXPECT_EQ(settings.readString(file, "DataMigration", "Mig_Done", "none"), "none");
}

TEST_F(SettingsFilesPosix, AUtf16FileIsNotWrittenWhenItWouldNotReadBackWhole)
{
    // A value that is no UTF-8 has no UTF-16 form.
    const std::string unicode = unicodeFile("[DB]\r\nUser=old\r\n");
    writeBytes(file, unicode);
    expectWriteRefused("User", "\xFE\x9E");
    EXPECT_EQ(readBytes(file), unicode);

    // An odd last byte would be lost, or shift every character after it.
    writeBytes(file, unicode + "Z");
    EXPECT_EQ(settings.readString(file, "DB", "User", ""), "old");
    expectWriteRefused("User", "new");
    EXPECT_EQ(readBytes(file), unicode + "Z");
    settings.writeString(file, "DB", "User", "old");  // nothing to change, nothing refused
    EXPECT_EQ(entryCount(folder.str()), 1u);
}

}  // namespace
}  // namespace talvorin::platform
