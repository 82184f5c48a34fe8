// The built program, run as the installer runs it, in a sandbox Windows directory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "e2e/posix/program_run_posix.h"
#include "support/kit_sandbox.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;

class Program : public ::testing::Test, protected KitSandbox {
protected:
    std::map<std::string, std::string> env() const
    {
        return {{"WINDIR", winDir}, {"TALVORIN_REGISTRY", dir.str() + "/none.reg"}};
    }
    std::vector<std::string> log() const { return unstampedLogLines(readFile(logPath())); }
};

const std::string kRule(80, '-');

TEST_F(Program, WorkstationSetupLogsItsStartAndEnds)
{
    std::string name;
    const auto result = runTalvorin({"302", "C:\\Srv", "1", "C:\\Support", "setup.ini"}, env());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardError, "");
    const auto lines = unstampedLogLines(readFile(kitDir + "system.log"), &name);
    EXPECT_THAT(lines,
                ElementsAre(kRule, "Start database / table creation program", kRule,
                            std::string("Starting ") + std::filesystem::canonical(TALVORIN_BINARY).string(),
                            "Param 1, SetupMod    = 302", "Param 2, SvrBasePath = C:\\Srv", "Param 3, InstallType = 1",
                            "Param 4, SupportDir  = C:\\Support", "Param 5, SetupFile   = setup.ini",
                            "SetupMode = WS_SETUP. skip database and tables creation", kRule,
                            "End database / table createion program", kRule));
    EXPECT_EQ(name, expectedComputerName());
}

TEST_F(Program, WrongParametersShowTheBoxOnStandardError)
{
    const auto result = runTalvorin({"301", "x"}, env());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardError,
              "[Information] Wrong Parameters.\nCorrect format: Talvorin.exe <Setup Mode> <Server Base Path> "
              "<Install Type> <Support Dir> <Setup File>\n");
    const auto lines = log();
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[5], "Param 2, SvrBasePath = x");
    EXPECT_EQ(lines[8], "Param 5, SetupFile   = ");
}

TEST_F(Program, MissingSettingsCannotBeAskedForUnattended)
{
    const auto result = runTalvorin({"301", "C:\\Srv", "1", "C:\\Support", "setup.ini"}, env());
    EXPECT_EQ(result.exitCode, 0);
    // A reader of the installer's log learns why no database work was done.
    EXPECT_EQ(result.standardError,
              "[SQL Server Information] Not shown (unattended: standard input or output is not a terminal); it "
              "ends as Cancel\n"
              "[Warning] Mircosoft SQL Server information setting is not completed. This will lead to Velmora "
              "Deluxe installation error. Do you want to enter the information again?\n"
              "[Warning] Answer: No (unattended: standard input or output is not a terminal)\n");
    const auto lines = log();
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[9], "Get SQL Server Info");
}

TEST_F(Program, AStandardErrorNobodyReadsLosesTheBoxButNotTheRun)
{
    RunOptions options;
    options.standardErrorReaderGone = true;
    const auto result = runTalvorin({"301", "x"}, env(), options);
    EXPECT_EQ(result.exitCode, 0);
    const auto lines = log();
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[10], "End database / table createion program");
}

TEST_F(Program, KitFolderMissingEndsWithAMessageAndExitCodeZero)
{
    std::filesystem::remove_all(kitDir);
    const auto result = runTalvorin({"302", "a", "b", "c", "d"}, env());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.standardError, ::testing::HasSubstr("system.log"));
    EXPECT_FALSE(std::filesystem::exists(kitDir)) << "the kit folder is not created";
}

TEST_F(Program, TheGeneralErrorBoxIsCaptionedWithTheProgramFilesName)
{
    std::filesystem::remove_all(kitDir);
    const std::string renamed = dir.str() + "/VDSETUP.EXE";
    std::filesystem::copy_file(TALVORIN_BINARY, renamed);
    for (const std::string& program : {std::string(TALVORIN_BINARY), renamed}) {
        const std::string title = program == renamed ? "[Vdsetup] " : "[talvorin] ";
        EXPECT_THAT(runProgram(program, {"302", "a", "b", "c", "d"}, env()).standardError,
                    ::testing::StartsWith(title + "Cannot append to "));
    }
}

TEST_F(Program, QuitBeforeTheRunStartsStillWritesTheEndBanner)
{
    // The run starts a second after the window shows; SIGTERM comes as soon as the start
    // banner is there, long before that.
    const auto result = runTalvorin({"302", "a", "b", "c", "d"}, env(), 60,
                                    [&] { return readFile(kitDir + "system.log").size() >= 200; });
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(log(), ElementsAre(kRule, "Start database / table creation program", kRule, kRule,
                                   "End database / table createion program", kRule));
}

}  // namespace
}  // namespace talvorin::testing
