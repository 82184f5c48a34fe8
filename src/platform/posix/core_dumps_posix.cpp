#include "platform/posix/core_dumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace talvorin::platform {

bool keepOutOfCoreDumps()
{
    // The flag alone also covers a core pattern that pipes to a program, which the limit
    // does not bind; the limit also covers the children, which the flag does not reach
    // (exec makes a process dumpable again).
    const bool undumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    rlimit limit{};
    bool limited = ::getrlimit(RLIMIT_CORE, &limit) == 0;
    if (limited) {
        limit.rlim_cur = 0;
        limited = ::setrlimit(RLIMIT_CORE, &limit) == 0;
    }
    return undumpable && limited;
}

}  // namespace talvorin::platform
