#include "platform/settings_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/file_helpers.h"

namespace talvorin::platform {
namespace {

using testing::entryCount;
using testing::fileMode;
using testing::readBytes;
using talvorin::testing::ScopedEnv;
using talvorin::testing::TempDir;
using testing::writeBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

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

TEST_F(SettingsFilesTest, WriteCreatesTheFileWithSectionAndKey)
{
    const std::string file = folder / "MigKit4/Orvo4.dat";
    settings.writeString(file, "DB", "User", "sa");
    settings.writeString(file, "DB", "Password", "secret");
    EXPECT_EQ(readBytes(file), "[DB]\r\nUser=sa\r\nPassword=secret\r\n");
    EXPECT_EQ(settings.readString(file, "DB", "Password", ""), "secret");
    EXPECT_EQ(entryCount(folder / "MigKit4"), 1u);  // no temporary file left behind
}

TEST_F(SettingsFilesTest, WriteUpdatesTheExistingFileOfAnotherCaseAndKeepsTheRest)
{
    const std::string original = "; written by the installer\n[OPTIONS]\nInstallMode=1\n\n[DB]\nUser=old\n"
                                 "Port=1433\n[INSTALLATION]\nAppPath=C:\\Velmora";
    writeBytes(folder / "MigKit4/Orvo4.DAT", original);
    ::chmod((folder / "MigKit4/Orvo4.DAT").c_str(), 0640);

    settings.writeString(folder / "MIGKIT4\\Orvo4.dat", "DB", "User", "new");

    EXPECT_EQ(readBytes(folder / "MigKit4/Orvo4.DAT"),
              "; written by the installer\n[OPTIONS]\nInstallMode=1\n\n[DB]\nUser=new\n"
              "Port=1433\n[INSTALLATION]\nAppPath=C:\\Velmora");
    EXPECT_EQ(fileMode(folder / "MigKit4/Orvo4.DAT"), 0640u);
    EXPECT_EQ(entryCount(folder / "MigKit4"), 1u);
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

TEST_F(SettingsFilesTest, WriteGoesThroughASymbolicLink)
{
    writeBytes(folder / "real.ini", "[DB]\r\nUser=old\r\n");
    std::filesystem::create_symlink(folder / "real.ini", folder / "MigKit4/link.ini");
    settings.writeString(folder / "MigKit4/link.ini", "DB", "User", "new");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "MigKit4/link.ini"));
    EXPECT_EQ(readBytes(folder / "real.ini"), "[DB]\r\nUser=new\r\n");
}

TEST_F(SettingsFilesTest, ABareFileNameMeansTheWindowsDirectory)
{
    ScopedEnv windir("WINDIR", folder.str().c_str());
    settings.writeString("Talvorin.ini", "S", "k", "v");
    EXPECT_EQ(readBytes(folder / "Talvorin.ini"), "[S]\r\nk=v\r\n");
    EXPECT_EQ(settings.readString("TALVORIN.INI", "S", "k", ""), "v");
}

}  // namespace
}  // namespace talvorin::platform
