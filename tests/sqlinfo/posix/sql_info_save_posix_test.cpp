// A save that the disk cannot take whole, made to fail by the file-size limit.
#include <signal.h>
#include <sys/resource.h>

#include "platform/file_helpers.h"
#include "sqlinfo/sqlinfo_fixture.h"

namespace talvorin::sqlinfo::testing {
namespace {

TEST_F(DialogTest, ASaveThatFailsPartWayLeavesTheFileAsItWas)
{
    writeKit("DB", "User", "");
    const auto original = platform::testing::readBytes(kitFile());
    TfrmSQLInfo& d = shown();
    for (int k = 1; k <= 4; ++k) d.octet(k).setText("10");
    d.edtIPPortNo.setText("1433");
    d.edtSQLLogin.setText("administrator");
    d.edtSQLPassword.setText("a-long-password");
    backend.answers.push_back(ui::Answer::Yes);
    // Room for the user, password and address, not for the port as well.
    const rlimit old = [] {
        rlimit r{};
        ::getrlimit(RLIMIT_FSIZE, &r);
        return r;
    }();
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = original->size() + 66;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    d.pressEnter();
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(platform::testing::readBytes(kitFile()), original);
    ASSERT_EQ(backend.boxes.size(), 2u);
    EXPECT_EQ(backend.boxes[1].box.text, "Unable to write to " + kitFile() +
                                             "\r\nFile too large\r\nThe SQL Server information has not been saved.");
}

}  // namespace
}  // namespace talvorin::sqlinfo::testing
