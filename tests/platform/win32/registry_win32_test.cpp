// The registry through the system, and the .reg reader of the Linux build held against it:
// each file is imported with regedit, then every lookup must give the same answer both ways.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <variant>

#include "formats/reg_file.h"
#include "platform/reg_file_registry.h"
#include "platform/win32/windows_api.h"
#include "support/temp_dir.h"

namespace talvorin::platform {
namespace {

constexpr const char* kRoot = "SOFTWARE\\TalvorinTests";

// What a lookup gave: no key, no value, a type error, or the text.
struct Answer {
    bool key = false;
    std::optional<std::string> text;
    bool typeError = false;
    bool operator==(const Answer&) const = default;
};

std::string describe(const Answer& a)
{
    if (!a.key) return "no key";
    if (a.typeError) return "type error";
    return a.text ? "\"" + *a.text + "\"" : "no value";
}

Answer lookUp(const Registry& registry, const std::string& key, const std::string& value)
{
    Answer a;
    const auto open = registry.openKey(key);
    if (!open) return a;
    a.key = true;
    try {
        a.text = open->readString(value);
    } catch (const RegistryTypeError&) {
        a.typeError = true;
    }
    return a;
}

bool runRegedit(const std::string& arguments)
{
    std::string commandLine = "regedit.exe /S " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return false;
    ::WaitForSingleObject(process.hProcess, 60000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

class RegistryAgainstRegedit : public ::testing::Test {
protected:
    ~RegistryAgainstRegedit() override { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRoot); }

    // Imports the file and compares every lookup.
    void check(const std::string& bytes, const std::vector<std::pair<std::string, std::string>>& lookups)
    {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRoot);
        const std::string path = folder.make("import.reg");
        std::ofstream(path, std::ios::binary) << bytes;
        ASSERT_TRUE(runRegedit("\"" + path + "\""));
        const RegFileRegistry fromFile(formats::reg::RegFile::parse(bytes));
        for (const auto& [key, value] : lookups) {
            const Answer system = lookUp(systemRegistry(), key, value);
            const Answer file = lookUp(fromFile, key, value);
            EXPECT_EQ(file, system) << key << " / " << value << ": the system gives " << describe(system)
                                    << ", the .reg reader " << describe(file) << "\n"
                                    << bytes;
        }
    }

    testing::TempDir folder;
};

const std::string kKey = std::string("\\") + kRoot + "\\ORVO3";

TEST_F(RegistryAgainstRegedit, PlainExportsReadAlike)
{
    const std::string v5 = "Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TalvorinTests\\ORVO3]\r\n"
                           "\"Version\"=\"3.0.1\"\r\n"
                           "\"ServerPath\"=\"C:\\\\Program Files\\\\Velmora\"\r\n"
                           "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
                           "\"Empty\"=\"\"\r\n"
                           "\"Count\"=dword:00000010\r\n"
                           "\"Bytes\"=hex:01,02,03\r\n"
                           "\"Expand\"=hex(2):25,00,57,00,49,00,4e,00,44,00,49,00,52,00,25,00,00,00\r\n"
                           "@=\"default\"\r\n";
    check(v5, {{kKey, "Version"},
               {kKey, "VERSION"},
               {kKey, "ServerPath"},
               {kKey, "Quote"},
               {kKey, "Empty"},
               {kKey, "Count"},
               {kKey, "Bytes"},
               {kKey, "Expand"},
               {kKey, ""},
               {kKey, "Missing"},
               {kKey + "\\Missing", "Version"},
               {std::string("\\") + kRoot, "Version"}});
}

TEST_F(RegistryAgainstRegedit, HandEditedFilesReadAlike)
{
    const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TalvorinTests\\ORVO3]\r\n";
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    const std::string files[] = {
        // A comment after a value, after dword: and after hex:.
        header + key + "\"a\"=\"v\"  ;note\r\n\"b\"=dword:00000001 ;n\r\n\"c\"=hex:41,42 ;n\r\n",
        // Line continuations: a byte split across lines, a blank line inside one.
        header + key + "\"a\"=hex(2):41,00,\\\r\n  42,00,00,00\r\n\"b\"=\"after\"\r\n",
        header + key + "\"a\"=hex(2):41,00,\\\r\n\r\n  42,00,00,00\r\n\"b\"=\"after\"\r\n",
        // A removed value and a removed key.
        header + key + "\"a\"=\"v\"\r\n\"a\"=-\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\TalvorinTests\\ORVO3\\Sub]\r\n",
        // Blanks inside the key brackets.
        header + "[ HKEY_LOCAL_MACHINE\\SOFTWARE\\TalvorinTests\\ORVO3]\r\n\"a\"=\"v\"\r\n",
        // An odd value name.
        header + key + "\"x y\"=\"z\"\r\n",
        // REGEDIT4: 8-bit text.
        "REGEDIT4\r\n\r\n" + key + "\"a\"=\"cafe\"\r\n\"b\"=hex(2):41,42,00\r\n",
    };
    for (const std::string& bytes : files)
        check(bytes, {{kKey, "a"}, {kKey, "b"}, {kKey, "c"}, {kKey, "x y"}, {kKey + "\\Sub", "a"}});
}

// "\0" is no escape of the format: Microsoft's description of .reg files gives a text value
// as quoted text and names no such escape, so it says nothing of what follows. Wine's regedits
// disagree there: the 32-bit one drops that line alone, the 64-bit one the rest of the file.
// The reader takes the stricter reading (nothing after it); held against the system here is
// only what every reading agrees on: such a line gives no value.
TEST_F(RegistryAgainstRegedit, AnEscapedZeroIsNoValue)
{
    const std::string file = "Windows Registry Editor Version 5.00\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TalvorinTests\\ORVO3]\r\n"
                             "\"a\"=\"\\0\"\r\n\"b\"=\"q\\0r\"\r\n\"x y\"=\"z\"\r\n";
    check(file, {{kKey, "a"}, {kKey, "b"}});
}

}  // namespace
}  // namespace talvorin::platform
