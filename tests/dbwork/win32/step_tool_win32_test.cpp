// A kit tool the shell cannot start: the step's fixed line, then the system's reason.
#include "dbwork/database_steps.h"
#include "dbwork/step_fixture.h"
#include "platform/win32/handles.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;

class Win32StepTool : public StepFixture {};

TEST_F(Win32StepTool, ABcpThatIsNoFileLeavesTheSystemsReasonAfterTheFixedLineAndIsNotWaitedFor)
{
    setupFile("[CODE_TABLE]\r\n1=T1\r\n");
    // Had anything been started for it, the wait would end at once as a quit, not hang.
    ui.onWait = [&] { ui.requestQuit(); };
    const struct {
        bool folder;  // else nothing is there
        DWORD reason;
    } cases[] = {{false, ERROR_FILE_NOT_FOUND}, {true, ERROR_ACCESS_DENIED}};
    for (const auto& c : cases) {
        if (c.folder) std::filesystem::create_directories(kitDir + "bcp.exe");
        log.lines.clear();
        auto ctx = context();
        EXPECT_FALSE(dbwork::LoadCodeTables(ctx, in));
        EXPECT_THAT(log.lines, ElementsAre("Error loading code table T1",
                                           "Cannot start " + kitDir + "bcp.exe: " + platform::errorText(c.reason)));
        EXPECT_EQ(ui.waits, 0);
    }
}

}  // namespace
}  // namespace talvorin::testing
