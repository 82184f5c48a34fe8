#pragma once
// The POSIX runner's further ways to run the program: a closed standard error, a kept
// standard output, a SIGKILL at a given moment.

#include "e2e/program_run.h"

namespace talvorin::testing {

struct RunOptions {
    int timeoutSeconds = 60;
    // Looked at every 20 ms; SIGTERM is sent once it says so.
    std::function<bool()> terminateWhen;
    // Standard error is a pipe whose reading end is already closed.
    bool standardErrorReaderGone = false;
    // Standard output to a file (not a terminal still) instead of /dev/null.
    bool keepStandardOutput = false;
    // SIGKILL this long after the start (none when negative).
    long killAfterMicroseconds = -1;
    // The program file; empty: the one built.
    std::string program;
};

// May be called from several threads at once.
ProgramResult runTalvorin(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                          const RunOptions& options);

}  // namespace talvorin::testing
