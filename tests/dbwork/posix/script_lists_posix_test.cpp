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
    for (const auto& run : r)
        EXPECT_THAT(run.openFiles, ElementsAre("0=/dev/null", "1=/dev/null", "2=/dev/null"));
}

}  // namespace
}  // namespace talvorin::testing
