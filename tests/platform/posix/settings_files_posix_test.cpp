// The POSIX engine behind the settings files: what it keeps byte for byte, file modes,
// symbolic links and WINDIR.
#include "platform/settings_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/file_helpers.h"

namespace talvorin::platform {
namespace {

using talvorin::testing::ScopedEnv;
using talvorin::testing::TempDir;
using testing::entryCount;
using testing::fileMode;
using testing::readBytes;
using testing::writeBytes;

class PosixSettingsFiles : public ::testing::Test {
protected:
    PosixSettingsFiles() { std::filesystem::create_directory(folder / "MigKit4"); }

    TempDir folder;
    SettingsFiles& settings = systemSettingsFiles();
};

TEST_F(PosixSettingsFiles, WriteUpdatesTheExistingFileOfAnotherCaseAndKeepsTheRest)
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

TEST_F(PosixSettingsFiles, WriteGoesThroughASymbolicLink)
{
    writeBytes(folder / "real.ini", "[DB]\r\nUser=old\r\n");
    std::filesystem::create_symlink(folder / "real.ini", folder / "MigKit4/link.ini");
    settings.writeString(folder / "MigKit4/link.ini", "DB", "User", "new");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "MigKit4/link.ini"));
    EXPECT_EQ(readBytes(folder / "real.ini"), "[DB]\r\nUser=new\r\n");
}

TEST_F(PosixSettingsFiles, ABareFileNameMeansTheWindowsDirectory)
{
    ScopedEnv windir("WINDIR", folder.str().c_str());
    settings.writeString("Talvorin.ini", "S", "k", "v");
    EXPECT_EQ(readBytes(folder / "Talvorin.ini"), "[S]\r\nk=v\r\n");
    EXPECT_EQ(settings.readString("TALVORIN.INI", "S", "k", ""), "v");
}

}  // namespace
}  // namespace talvorin::platform
