// A kit tool the shell cannot start: the step's fixed line, then the system's reason.
#include "dbwork/database_steps.h"
#include "dbwork/step_fixture.h"
#include "platform/win32/handles.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;

class Win32StepTool : public StepFixture {};

TEST_F(Win32StepTool, AMissingBcpLeavesTheSystemsReasonAfterTheFixedLine)
{
    setupFile("[CODE_TABLE]\r\n1=T1\r\n");
    auto ctx = context();
    EXPECT_FALSE(dbwork::LoadCodeTables(ctx, in));
    EXPECT_THAT(log.lines, ElementsAre("Error loading code table T1",
                                       "Cannot start " + kitDir + "bcp.exe: " +
                                           platform::win32::errorText(ERROR_FILE_NOT_FOUND)));
}

}  // namespace
}  // namespace talvorin::testing
