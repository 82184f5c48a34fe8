#include "platform/posix/core_dumps.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace talvorin::platform {
namespace {

TEST(CoreDumps, TheProcessBecomesUndumpableWithASoftLimitOfZero)
{
    // In a child of its own: the test program itself stays as it was.
    const pid_t child = ::fork();
    if (child == 0) {
        rlimit limit{};
        const bool ok = keepOutOfCoreDumps() && ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 &&
                        ::getrlimit(RLIMIT_CORE, &limit) == 0 && limit.rlim_cur == 0;
        ::_exit(ok ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace talvorin::platform
