// The settings files through the system's own profile functions.
#include "platform/settings_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "formats/ascii.h"
#include "platform/scope_exit.h"
#include "platform/system_info.h"
#include "platform/win32/handles.h"
#include "support/temp_dir.h"

#include <aclapi.h>
#include <sddl.h>

namespace talvorin::platform {
namespace {

using ::testing::ElementsAre;

std::string sidText(PSID sid)
{
    char* text = nullptr;
    if (!::ConvertSidToStringSidA(sid, &text)) throw std::runtime_error("unreadable SID");
    const UniqueLocalMemory owned(text);
    return text;
}

std::string currentUser()
{
    HANDLE raw = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw);
    const UniqueHandle token(raw);
    std::vector<unsigned char> buffer(512);
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size))
        throw std::runtime_error("no token user");
    return sidText(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid);
}

// A file's access list as the system gives it back.
struct AccessList {
    std::vector<std::pair<std::string, ACCESS_MASK>> allowed;  // SID, rights
    int otherEntries = 0;                                      // denials, audits and the like
    bool isProtected = false;                                  // nothing inherited from the folder
    std::string text;                                          // the whole, as a descriptor string

    bool lists(const std::string& sid) const
    {
        return std::any_of(allowed.begin(), allowed.end(), [&](const auto& a) { return a.first == sid; });
    }
};

AccessList accessListOf(const std::string& path)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &raw) != ERROR_SUCCESS)
        throw std::runtime_error("no security information for " + path);
    const UniqueLocalMemory descriptor(raw);
    AccessList list;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(raw, &control, &revision);
    list.isProtected = (control & SE_DACL_PROTECTED) != 0;
    char* text = nullptr;
    if (::ConvertSecurityDescriptorToStringSecurityDescriptorA(raw, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                               nullptr)) {
        const UniqueLocalMemory owned(text);
        list.text = text;
    }
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        ::GetAce(dacl, i, &ace);
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) {
            ++list.otherEntries;
            continue;
        }
        list.allowed.emplace_back(sidText(const_cast<DWORD*>(&allowed->SidStart)), allowed->Mask);
    }
    return list;
}

class Win32SettingsFiles : public ::testing::Test {
protected:
    std::string file(const std::string& name, const std::string& bytes)
    {
        const std::string path = folder.make(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string bytesOf(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    testing::TempDir folder;
    SettingsFiles& settings = systemSettingsFiles();
};

TEST_F(Win32SettingsFiles, ReadsValuesAsTheSystemTrimsAndCutsThem)
{
    const std::string path = file("Orvo4.DAT", "[DB]\r\nUser = \"sa\" \r\nLong=" + std::string(3000, 'x') +
                                                   "\r\n[OPTIONS]\r\nInstallMode= 2 \r\nDBServerLoc=x\r\n");
    EXPECT_EQ(settings.readString(path, "db", "user", ""), "sa");
    EXPECT_EQ(settings.readString(path, "DB", "Long", ""), std::string(2047, 'x'));
    EXPECT_EQ(settings.readString(path, "DB", "Missing", "fallback"), "fallback");
    EXPECT_EQ(settings.readString(folder.path().string() + "\\none.ini", "DB", "User", "d"), "d");
    EXPECT_EQ(settings.readInt(path, "OPTIONS", "InstallMode", 0), 2);
    EXPECT_EQ(settings.readInt(path, "OPTIONS", "DBServerLoc", 5), 0);
    EXPECT_EQ(settings.readInt(path, "OPTIONS", "Missing", 5), 5);
    // Names are matched without regard to case, the file's name too.
    EXPECT_EQ(settings.readString(folder.path().string() + "\\orvo4.dat", "DB", "USER", ""), "sa");
}

TEST_F(Win32SettingsFiles, ListsKeyNamesInFileOrderUpToAnEmptyName)
{
    const std::string path = file("Setup.ini", "[SCRIPT_2005]\r\n2=b.sql\r\n1=a.sql\r\n2=c.sql\r\n=x\r\n3=d.sql\r\n");
    // An empty name ends the list the system gives, so what follows it is not seen.
    EXPECT_THAT(settings.readKeyNames(path, "SCRIPT_2005"), ElementsAre("2", "1", "2"));
    EXPECT_THAT(settings.readSectionValues(path, "SCRIPT_2005"), ElementsAre("b.sql", "a.sql", "b.sql"));
    EXPECT_TRUE(settings.readKeyNames(path, "CODE_TABLE").empty());
}

// The 32-bit program has 2 GiB of address space: a 100 MB setup file must still be read.
TEST_F(Win32SettingsFiles, ReadsA100MegabyteSetupFile)
{
    const std::string path = folder.make("Setup.ini");
    {
        std::ofstream out(path, std::ios::binary);
        const std::string lines(1 << 20, '\n');
        for (int i = 0; i < 100; ++i) out << lines;
        out << "[SCRIPT_2005]\r\n1=a.sql\r\n";
    }
    EXPECT_THAT(settings.readSectionValues(path, "SCRIPT_2005"), ElementsAre("a.sql"));
}

TEST_F(Win32SettingsFiles, ListsEveryNameAndNoneCutShort)
{
    std::string text = "[S]\r\n";
    // Names of 9 bytes with their NUL: the first 16384-byte buffer holds 1820 whole ones.
    for (int i = 0; i < 2000; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "key%05d", i);
        text += std::string(key) + "=v\r\n";
    }
    const auto names = settings.readKeyNames(file("many.ini", text), "S");
    ASSERT_EQ(names.size(), 2000u);
    EXPECT_EQ(names.back(), "key01999") << "a cut name was listed";
}

TEST_F(Win32SettingsFiles, WritesAndKeepsEverythingElse)
{
    const std::string path = file("Orvo4.dat", "; kit\r\n[OPTIONS]\r\nInstallMode=2\r\n");
    settings.writeString(path, "DB", "User", "sa");
    settings.writeString(path, "DB", "User", "admin");
    settings.writeString(path, "DB", "Password", "p=w;{x}");
    EXPECT_EQ(settings.readString(path, "DB", "User", ""), "admin");
    EXPECT_EQ(settings.readString(path, "DB", "Password", ""), "p=w;{x}");
    EXPECT_EQ(settings.readInt(path, "OPTIONS", "InstallMode", 0), 2);
    EXPECT_NE(bytesOf(path).find("; kit"), std::string::npos);

    // A name of another case is the same file.
    settings.writeString(folder.path().string() + "\\ORVO4.DAT", "db", "PORT", "1433");
    EXPECT_EQ(settings.readString(path, "DB", "Port", ""), "1433");
    EXPECT_EQ(settings.readString(path, "DB", "User", ""), "admin");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST_F(Win32SettingsFiles, ABareFileNameMeansTheWindowsDirectory)
{
    // A name no other test uses: the folder's own random one.
    const std::string name = folder.path().filename().string() + ".ini";
    const std::string inWindows = systemInfo().windowsDirectory() + "\\" + name;
    const auto removed = scopeExit([&] { ::DeleteFileA(inWindows.c_str()); });
    settings.writeString(name, "S", "k", "v");
    EXPECT_EQ(settings.readString(inWindows, "S", "k", ""), "v");
    EXPECT_EQ(settings.readString(formats::upperAsciiText(name), "S", "k", ""), "v");

    // Marked read-only there, it is refused like any other.
    ::SetFileAttributesA(inWindows.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_THROW(settings.writeString(name, "S", "k", "w"), SettingsWriteError);
    ::SetFileAttributesA(inWindows.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(settings.readString(name, "S", "k", ""), "v");
}

TEST_F(Win32SettingsFiles, ANewFileIsItsOwnersAndTheAdministratorsAloneAnOldOneKeepsItsAccess)
{
    const std::string user = currentUser();
    const std::string administrators = "S-1-5-32-544", system = "S-1-5-18";
    const std::string bare = folder.path().filename().string() + ".dat";  // no other test's name
    const std::string inWindows = systemInfo().windowsDirectory() + "\\" + bare;
    const auto removed = scopeExit([&] { ::DeleteFileA(inWindows.c_str()); });
    const struct {
        std::string name;  // as the program names it
        std::string path;  // where the system puts it
    } cases[] = {{folder / "Orvo4.dat", folder / "Orvo4.dat"}, {bare, inWindows}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings.writeString(c.name, "DB", "Password", "x\xE9y");
        // 8-bit text, as the system writes a file it creates itself.
        EXPECT_EQ(bytesOf(c.path), "[DB]\r\nPassword=x\xE9y\r\n");
        const AccessList access = accessListOf(c.path);
        for (const auto& [sid, rights] : access.allowed)
            EXPECT_TRUE(sid == user || sid == administrators || sid == system) << sid << " in " << access.text;
        EXPECT_EQ(access.otherEntries, 0) << access.text;
        const auto own = std::find_if(access.allowed.begin(), access.allowed.end(),
                                      [&](const auto& a) { return a.first == user; });
        ASSERT_NE(own, access.allowed.end()) << access.text;
        EXPECT_EQ(own->second & FILE_ALL_ACCESS, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS)) << access.text;
        // Wine keeps no descriptor: it turns the entries into the Unix mode and shows one made
        // from that (the owner, SYSTEM, and Everyone when others may read), never listing the
        // administrators. Where they are listed the list is the one given, whole.
        if (access.lists(administrators)) {
            EXPECT_TRUE(access.isProtected) << access.text;
            EXPECT_EQ(access.allowed.size(), 3u) << access.text;
        }
    }

    const std::string old = file("dbsvr.ini", "[DB]\r\n");
    const std::string before = accessListOf(old).text;
    ASSERT_FALSE(before.empty());
    settings.writeString(old, "DataMigration", "Mig_Done", "NotDone");
    EXPECT_EQ(settings.readString(old, "DataMigration", "Mig_Done", ""), "NotDone");
    EXPECT_EQ(accessListOf(old).text, before);
}

TEST_F(Win32SettingsFiles, RefusesWritesItCannotCarryOutNamingTheFile)
{
    const std::string readOnly = file("ro.ini", "[DB]\r\nUser=sa\r\n");
    ::SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string noFolder = folder.path().string() + "\\missing\\Orvo4.dat";
    const std::string plain = file("plain.ini", "[DB]\r\nUser=sa\r\n");
    const struct {
        std::string path;
        std::string value;
    } cases[] = {{readOnly, "x"}, {noFolder, "x"}, {plain, "two\r\nlines"}};
    for (const auto& c : cases) {
        try {
            settings.writeString(c.path, "DB", "User", c.value);
            ADD_FAILURE() << "the write to " << c.path << " succeeded";
        } catch (const SettingsWriteError& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + c.path);
        }
    }
    ::SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(settings.readString(readOnly, "DB", "User", ""), "sa");
    EXPECT_EQ(settings.readString(plain, "DB", "User", ""), "sa");
}

}  // namespace
}  // namespace talvorin::platform
