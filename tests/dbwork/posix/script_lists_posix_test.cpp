// The scripts' tools on POSIX: standard input, output and error on /dev/null.
#include "dbwork/database_steps.h"
#include "dbwork/step_fixture.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;

class PosixScriptLists : public StepFixture {};

TEST_F(PosixScriptLists, ToolsRunWithTheirStandardFilesOnDevNull)
{
    installTool("osql.exe");
    placeScripts({"b.sql", "a b.sql"});
    setupFile("[SCRIPT_2005]\r\n2=b.sql\r\n1=a b.sql\r\n");
    auto ctx = context();
    EXPECT_TRUE(dbwork::CreateDatabases(ctx, in));
    const auto r = runs();
    ASSERT_EQ(r.size(), 2u);
    for (const auto& run : r) EXPECT_THAT(run.openFiles, ElementsAre("0=/dev/null", "1=/dev/null", "2=/dev/null"));
}

TEST_F(PosixScriptLists, AToolThatCannotStartLeavesTheSystemsReasonAfterTheFixedLine)
{
    placeScripts({"one.sql"});
    setupFile("[SCRIPT_2005]\r\n1=one.sql\r\n[CODE_TABLE]\r\n1=T1\r\n");
    writeFile(kitDir + "osql.exe", "#!/bin/sh\nexit 0\n");  // without the run bit
    writeFile(kitDir + "bcp.exe", "no program\n");
    std::filesystem::permissions(kitDir + "bcp.exe", std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    auto ctx = context();
    EXPECT_FALSE(dbwork::CreateDatabases(ctx, in));
    EXPECT_FALSE(dbwork::LoadCodeTables(ctx, in));
    EXPECT_THAT(std::vector<std::string>(log.lines.begin() + 4, log.lines.end()),
                ElementsAre("Error creating database.[sqlcmd failed] one.sql",
                            "Cannot start " + kitDir + "osql.exe: Permission denied", "Error loading code table T1",
                            "Cannot start " + kitDir + "bcp.exe: Exec format error"));
    // A folder is refused before anything starts, as on Windows.
    std::filesystem::remove(kitDir + "bcp.exe");
    std::filesystem::create_directories(kitDir + "bcp.exe");
    log.lines.clear();
    EXPECT_FALSE(dbwork::LoadCodeTables(ctx, in));
    EXPECT_THAT(log.lines,
                ElementsAre("Error loading code table T1", "Cannot start " + kitDir + "bcp.exe: Is a directory"));
}

}  // namespace
}  // namespace talvorin::testing
