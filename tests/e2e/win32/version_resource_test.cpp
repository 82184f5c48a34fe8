// The version resource of the built Talvorin.exe, read as Explorer and installers read it: it
// carries the project's version from CMakeLists.txt (TALVORIN_PROJECT_VERSION) and its names.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

// The lean header set leaves out the version functions.
#include <winver.h>

namespace {

class VersionResource : public ::testing::Test {
protected:
    std::vector<char> data;

    void SetUp() override
    {
        DWORD ignored = 0;
        const DWORD size = ::GetFileVersionInfoSizeA(TALVORIN_BINARY, &ignored);
        ASSERT_NE(size, 0u) << TALVORIN_BINARY << " has no version resource";
        data.resize(size);
        ASSERT_TRUE(::GetFileVersionInfoA(TALVORIN_BINARY, 0, size, data.data()));
    }

    // A string of the block that the resource's first translation names, as Explorer finds it.
    std::string text(const std::string& name)
    {
        WORD* translation = nullptr;
        UINT length = 0;
        if (!::VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                              &length) ||
            length < 2 * sizeof(WORD))
            return "(no translation)";
        char block[64];
        std::snprintf(block, sizeof block, "\\StringFileInfo\\%04X%04X\\", translation[0], translation[1]);
        char* value = nullptr;
        if (!::VerQueryValueA(data.data(), (block + name).c_str(), reinterpret_cast<void**>(&value), &length))
            return "(no " + name + ")";
        return std::string(value, length > 0 ? length - 1 : 0);
    }
};

// The four numbers of a version resource: "4.0" is 4.0.0.0.
std::array<unsigned, 4> versionNumbers(const std::string& version)
{
    std::array<unsigned, 4> numbers{};
    std::sscanf(version.c_str(), "%u.%u.%u.%u", &numbers[0], &numbers[1], &numbers[2], &numbers[3]);
    return numbers;
}

TEST_F(VersionResource, CarriesTheProjectVersion)
{
    EXPECT_EQ(text("FileVersion"), TALVORIN_PROJECT_VERSION);
    EXPECT_EQ(text("ProductVersion"), TALVORIN_PROJECT_VERSION);

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const auto expected = versionNumbers(TALVORIN_PROJECT_VERSION);
    for (const auto& [ms, ls] : {std::pair{fixed->dwFileVersionMS, fixed->dwFileVersionLS},
                                 std::pair{fixed->dwProductVersionMS, fixed->dwProductVersionLS}}) {
        const std::array<unsigned, 4> actual{HIWORD(ms), LOWORD(ms), HIWORD(ls), LOWORD(ls)};
        EXPECT_EQ(actual, expected);
    }
}

TEST_F(VersionResource, NamesTheProgramAndTheProduct)
{
    EXPECT_EQ(text("OriginalFilename"), std::filesystem::path(TALVORIN_BINARY).filename().string());
    EXPECT_EQ(text("OriginalFilename"), "Talvorin.exe");
    EXPECT_EQ(text("InternalName"), "Talvorin");
    EXPECT_EQ(text("ProductName"), "Velmora Deluxe");
    EXPECT_EQ(text("CompanyName"), "Quorvanta");
}

}  // namespace
