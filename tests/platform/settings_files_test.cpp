#include "platform/settings_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_helpers.h"

namespace talvorin::platform {
namespace {

using talvorin::testing::TempDir;
using ::testing::ElementsAre;
using testing::entryCount;
using testing::fileMode;
using ::testing::IsEmpty;
using testing::readBytes;
using testing::writeBytes;

class SettingsFilesTest : public ::testing::Test {
protected:
    SettingsFilesTest() { std::filesystem::create_directory(folder / "MigKit4"); }

    // The message a failed write must carry, and a check that it does.
    void expectWriteRefused(const std::string& file, const std::string& key, const std::string& value)
    {
        try {
            settings.writeString(file, "DB", key, value);
            FAIL() << "the write to " << file << " succeeded";
        } catch (const SettingsWriteError& e) {
            EXPECT_STREQ(e.what(), ("Unable to write to " + file).c_str());
            EXPECT_FALSE(e.reason().empty());
        }
    }

    TempDir folder;
    SettingsFiles& settings = systemSettingsFiles();
};

TEST_F(SettingsFilesTest, ReadsAFileWhateverTheCaseOfItsNameAndFolders)
{
    writeBytes(folder / "MigKit4/Orvo4.DAT", "[DB]\r\nIP address=abc\r\n[OPTIONS]\r\nInstallMode=2\r\n");
    EXPECT_EQ(settings.readString(folder / "MigKit4/Orvo4.dat", "DB", "IP address", ""), "abc");
    EXPECT_EQ(settings.readString(folder / "migkit4\\ORVO4.DAT", "db", "ip ADDRESS", ""), "abc");
    EXPECT_EQ(settings.readInt(folder / "MIGKIT4/orvo4.dat", "OPTIONS", "InstallMode", 0), 2);
    EXPECT_THAT(settings.readKeyNames(folder / "MigKit4/Orvo4.dat", "options"), ElementsAre("InstallMode"));
}

TEST_F(SettingsFilesTest, MissingFileGivesTheDefaults)
{
    const std::string missing = folder / "MigKit4/Orvo4.dat";
    EXPECT_EQ(settings.readString(missing, "DB", "User", ""), "");
    EXPECT_EQ(settings.readString(missing, "DB", "User", "fallback  "), "fallback");
    EXPECT_EQ(settings.readInt(missing, "OPTIONS", "DBServerLoc", 7), 7);
    EXPECT_THAT(settings.readKeyNames(missing, "CODE_TABLE"), IsEmpty());
    EXPECT_EQ(settings.readString(folder / "nofolder/x.ini", "DB", "User", "d"), "d");
    // A folder where the file should be reads as a missing file.
    EXPECT_EQ(settings.readString(folder / "MigKit4", "DB", "User", "d"), "d");
}

// 10,000 names do not fit the 16384 bytes the list was once read into; every entry counts.
TEST_F(SettingsFilesTest, ASectionOfTenThousandEntriesIsReadWhole)
{
    std::string text = "[SCRIPT_2005]\r\n";
    for (int i = 1; i <= 10000; ++i) text += std::to_string(i) + "=s" + std::to_string(i) + ".sql\r\n";
    const std::string file = folder / "Setup.ini";
    writeBytes(file, text);
    const auto values = settings.readSectionValues(file, "SCRIPT_2005");
    ASSERT_EQ(values.size(), 10000u);
    EXPECT_EQ(values.back(), "s10000.sql");
    EXPECT_EQ(settings.readKeyNames(file, "SCRIPT_2005").size(), 10000u);
}

TEST_F(SettingsFilesTest, WriteCreatesTheFileWithSectionAndKey)
{
    const std::string file = folder / "MigKit4/Orvo4.dat";
    settings.writeString(file, "DB", "User", "sa");
    settings.writeString(file, "DB", "Password", "secret");
    EXPECT_EQ(readBytes(file), "[DB]\r\nUser=sa\r\nPassword=secret\r\n");
    EXPECT_EQ(settings.readString(file, "DB", "Password", ""), "secret");
    EXPECT_EQ(entryCount(folder / "MigKit4"), 1u);  // no temporary file left behind
}

TEST_F(SettingsFilesTest, WriteToAMissingFolderFailsAndCreatesNothing)
{
    expectWriteRefused(folder / "NoSuchKit/Orvo4.dat", "User", "sa");
    expectWriteRefused(folder / "NoSuchKit\\Orvo4.dat", "User", "sa");
    EXPECT_FALSE(std::filesystem::exists(folder / "NoSuchKit"));
    EXPECT_EQ(entryCount(folder.str()), 1u);
}

TEST_F(SettingsFilesTest, WriteToAReadOnlyFileFailsAndLeavesItAlone)
{
    const std::string file = folder / "MigKit4/Orvo4.DAT";
    const std::string original = "[DB]\r\nUser=old\r\n";
    writeBytes(file, original);
    ::chmod(file.c_str(), 0444);

    expectWriteRefused(file, "User", "new");
    expectWriteRefused(folder / "MigKit4/orvo4.dat", "Port", "1433");

    EXPECT_EQ(readBytes(file), original);
    EXPECT_EQ(fileMode(file), 0444u);
    EXPECT_EQ(entryCount(folder / "MigKit4"), 1u);
}

TEST_F(SettingsFilesTest, WriteOfAValueThatCannotBeStoredFailsAndLeavesTheFileAlone)
{
    const std::string file = folder / "MigKit4/Orvo4.DAT";
    const std::string original = "[DB]\r\nUser=old\r\n";
    writeBytes(file, original);
    expectWriteRefused(file, "User", "two\r\nlines");
    expectWriteRefused(file, "", "x");
    EXPECT_EQ(readBytes(file), original);
}

TEST_F(SettingsFilesTest, ValuesWrittenTogetherAreAllWrittenOrNone)
{
    const std::string file = folder / "MigKit4/Orvo4.DAT";
    const std::string original = "[DB]\r\nUser=old\r\nPort=1\r\n";
    writeBytes(file, original);
    EXPECT_THROW(settings.writeStrings(file, "DB", {{"User", "new"}, {"Password", "p"}, {"Port", "2\n"}}),
                 SettingsWriteError);
    EXPECT_EQ(readBytes(file), original);
    settings.writeStrings(file, "DB", {{"User", "new"}, {"Port", "2"}});
    EXPECT_EQ(settings.readString(file, "DB", "User", "") + settings.readString(file, "DB", "Port", ""), "new2");
    EXPECT_EQ(entryCount(folder / "MigKit4"), 1u);
}

// A write killed before its copy took the file's place leaves the copy, a password in it.
TEST_F(SettingsFilesTest, CopiesLeftByEndedWritersAreRemoved)
{
    const std::string kit = folder / "MigKit4/";
    const unsigned long self = static_cast<unsigned long>(::getpid());
    std::vector<std::string> names = {settingsCopyName("Orvo4.dat", 999999999ul, 0),
                                      settingsCopyName("ORVO4.DAT", self, 3), ".Orvo4.DAT.tmpX-1",
                                      ".Other.tmp999999999-0"};
#ifndef _WIN32
    names.push_back(settingsCopyName("Orvo4.DAT", 1, 0));  // a writer (init) that may still be at work
#endif
    for (const std::string& name : names) writeBytes(kit + name, "[DB]\r\nPassword=x\r\n");
    settings.removeAbandonedCopies(kit + "Orvo4.DAT");
    EXPECT_EQ(entryCount(kit), names.size() - 2);
    EXPECT_TRUE(std::filesystem::exists(kit + ".Orvo4.DAT.tmpX-1"));
    EXPECT_TRUE(std::filesystem::exists(kit + ".Other.tmp999999999-0"));
}

// ASCII text as UTF-16LE with its byte-order mark, as Notepad saves "Unicode" files.
std::string unicodeFile(const std::string& ascii)
{
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

TEST_F(SettingsFilesTest, Utf16FilesAreReadAndWrittenInUtf16)
{
    const std::string file = folder / "dbsvr.ini";
    writeBytes(file, unicodeFile("[DataMigration]\r\nMig_Done=Done\r\n[DB]\r\nPort=1433\r\n"));
    EXPECT_EQ(settings.readString(file, "DataMigration", "Mig_Done", ""), "Done");
    EXPECT_EQ(settings.readInt(file, "DB", "Port", 0), 1433);
    EXPECT_THAT(settings.readKeyNames(file, "DB"), ElementsAre("Port"));
    EXPECT_THAT(settings.readSectionValues(file, "DataMigration"), ElementsAre("Done"));

    settings.writeString(file, "DataMigration", "Mig_Done", "NotDone");
    settings.writeString(file, "DB", "User", "sa");
    EXPECT_EQ(readBytes(file), unicodeFile("[DataMigration]\r\nMig_Done=NotDone\r\n[DB]\r\nPort=1433\r\nUser=sa\r\n"));
}

}  // namespace
}  // namespace talvorin::platform
