#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace talvorin::testing {

struct ProgramResult {
    int exitCode = -1;        // -1: did not end in time and was killed; 128 + n: signal n
    std::string standardError;
    std::string standardOutput;  // only with RunOptions::keepStandardOutput
    long peakMemoryKb = 0;    // the program's largest resident set
};

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
};

ProgramResult runTalvorin(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                          const RunOptions& options);

// Runs the built program unattended (standard input and output not a terminal) with the
// given arguments and extra environment, and waits at most timeoutSeconds for it. It is sent
// SIGTERM once terminateWhen (looked at every 20 ms) says so.
ProgramResult runTalvorin(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                          int timeoutSeconds = 60, const std::function<bool()>& terminateWhen = {});

// The log's lines with computer name and time stamp taken off the event lines; banner
// lines stay as they are. The stamps must all be well-formed (else the line is kept whole).
std::vector<std::string> unstampedLogLines(const std::string& logText, std::string* computerName = nullptr);

// The computer name the program is expected to write on this machine.
std::string expectedComputerName();

}  // namespace talvorin::testing
