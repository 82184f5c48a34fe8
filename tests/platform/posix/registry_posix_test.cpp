// The registry of the POSIX build: the .reg file TALVORIN_REGISTRY names, read anew for
// every key.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_helpers.h"

namespace talvorin::platform {
namespace {

using talvorin::testing::ScopedEnv;
using talvorin::testing::TempDir;
using testing::writeBytes;

const std::string kExport = "Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVANTA\\ORVO3]\r\n"
                            "\"Version\"=\"4.0\"\r\n\r\n";

// As regedit 5 writes its files.
std::string asciiAsUtf16le(const std::string& text)
{
    std::string out;
    for (const char c : text) out += {c, '\0'};
    return out;
}

class SystemRegistryTest : public ::testing::Test {
protected:
    TempDir folder;
    const std::string file = folder / "machine.reg";
};

TEST_F(SystemRegistryTest, EveryKeyIsMissingWithoutAReadableFile)
{
    writeBytes(file, kExport);
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

    writeBytes(file, "\xFF\xFE" + asciiAsUtf16le(kExport));
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
