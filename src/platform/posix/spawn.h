#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace talvorin::platform {

struct SpawnResult {
    pid_t pid = -1;  // the running child, or -1
    int error = 0;   // why it could not be started: errno of fork, chdir or exec
};

// Starts the executable file `path` with the given argv (argv[0] included) in a session of
// its own, detached from any terminal, with standard input, output and error on /dev/null
// and no other descriptor of this process. In `directory` when it is not empty. Returns
// only after the exec has succeeded or failed, so a failure never leaves a child behind.
SpawnResult spawnDetached(const std::string& path, const std::vector<std::string>& argv, const std::string& directory);

}  // namespace talvorin::platform
