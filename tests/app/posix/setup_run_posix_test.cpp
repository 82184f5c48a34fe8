#include <filesystem>
#include <string>

#include "app/run_fixture.h"

namespace talvorin::testing {
namespace {

using SetupRunPosix = RunFixture;

TEST_F(SetupRunPosix, AnEmptyServerBasePathNeverReachesTheSystemsFolders)
{
    // "" + "BIN/" is /BIN/, which is not /bin: the migration status cannot be written.
    kitData("sa", "pw", "10.0.0.1", "1433");
    auto p = params("306", "1");
    p[1] = "";
    const auto lines = run(p);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[lines.size() - 5],
              std::string(kStamp) + "Unexpected error: Unable to write to /BIN/dbsvr.ini. Application will be closed");
    EXPECT_EQ(lines[lines.size() - 4], std::string(kStamp) + "Cannot write /BIN/dbsvr.ini: No such file or directory");
    EXPECT_FALSE(std::filesystem::exists("/bin/dbsvr.ini"));
    EXPECT_FALSE(std::filesystem::exists("/usr/bin/dbsvr.ini"));
}

}  // namespace
}  // namespace talvorin::testing
