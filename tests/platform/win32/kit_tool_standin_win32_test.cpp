// The Windows kit-tool stand-in is the instrument the tool-runner and end-to-end tests read:
// what it journals must be exactly how it was started, or those tests would blame the runner
// for its faults.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/win32/handles.h"
#include "support/kit_tool_journal.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace talvorin::testing {
namespace {

namespace fs = std::filesystem;

struct StandinCase {
    const char* what;
    const char* tool;
    std::string commandLine;
    const char* exitRules;  // KIT_TOOL_EXIT_CODES, or null
    DWORD exitCode;
};

// Starts the tool with exactly this command line and returns its exit code.
DWORD runTool(const std::string& program, std::string commandLine, const std::string& folder)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &started))
        throw std::runtime_error("cannot start " + program + ": " + platform::errorText(::GetLastError()));
    const platform::UniqueHandle process(started.hProcess);
    const platform::UniqueHandle thread(started.hThread);
    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return code;
}

TEST(KitToolStandinWin32, JournalsTheCommandLineAsReceivedItsFolderAndGivesTheExitCodeAsked)
{
    const StandinCase cases[] = {
        {"plain", "osql.exe", "osql.exe -S 127.0.0.1,1433 -i create_tables.sql", "create=3", 3},
        {"blanks and quotes as they are", "osql.exe",
         "\"C:\\Program Files\\osql.exe\"  -P \"pa \"\"ss\"\" word\"   -i \"a b.sql\" ", "*=259", 259},
        {"backslashes before quotes", "bcp.exe", "bcp.exe -d \"C:\\dir\\\\\" -Q \\\"x\\\"", nullptr, 0},
        {"the program alone, exit code -1", "bcp.exe", "bcp.exe", "*=-1", 0xFFFFFFFF},
    };
    const TempDir temp;
    const fs::path kit = temp.path() / "kit";
    const std::string workFolder = (temp.path() / "work folder").string();
    fs::create_directory(kit);
    fs::create_directory(workFolder);
    for (const char* tool : {"osql.exe", "bcp.exe"}) installKitToolStandin((kit / tool).string());
    const std::string journal = temp / "journal";
    const ScopedEnv journalVariable("KIT_TOOL_JOURNAL", journal);

    std::size_t runs = 0;
    for (const StandinCase& c : cases) {
        SCOPED_TRACE(c.what);
        const ScopedEnv rules("KIT_TOOL_EXIT_CODES", c.exitRules);
        EXPECT_EQ(runTool((kit / c.tool).string(), c.commandLine, workFolder), c.exitCode);

        const auto journaled = readKitToolJournal(journal);
        ASSERT_EQ(journaled.size(), ++runs);
        EXPECT_EQ(journaled.back().commandLine, std::optional<std::string>(c.commandLine));
        EXPECT_EQ(journaled.back().program, c.tool);
        EXPECT_EQ(journaled.back().workingDirectory, workFolder);
    }
}

TEST(KitToolStandinWin32, CreatesBcpsErrorFileInItsWorkingFolder)
{
    const TempDir temp;
    const std::string bcp = temp / "bcp.exe";
    installKitToolStandin(bcp);
    const ScopedEnv noRules("KIT_TOOL_EXIT_CODES", nullptr);
    EXPECT_EQ(runTool(bcp, "bcp.exe VELMORA..COUNTRY in Country.dat -e Country.err", temp.str()), 0u);
    EXPECT_TRUE(fs::exists(temp.path() / "Country.err"));
}

}  // namespace
}  // namespace talvorin::testing
