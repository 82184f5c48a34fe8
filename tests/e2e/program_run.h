#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace talvorin::testing {

struct ProgramResult {
    int exitCode = -1;  // -1: did not end in time and was killed; 128 + n: signal n
    std::string standardError;
    std::string standardOutput;  // POSIX, only with RunOptions::keepStandardOutput
    long peakMemoryKb = 0;       // POSIX: the program's largest resident set
};

// Runs the built program unattended (standard input and output not a terminal) with the
// given arguments and extra environment, and waits at most timeoutSeconds for it. It is sent
// SIGTERM once terminateWhen (looked at every 20 ms) says so.
ProgramResult runTalvorin(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                          int timeoutSeconds = 60, const std::function<bool()>& terminateWhen = {});

// The same with another copy of the program (a renamed one, say).
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env);

// The log's lines with computer name and time stamp taken off the event lines; banner
// lines stay as they are. The stamps must all be well-formed (else the line is kept whole).
std::vector<std::string> unstampedLogLines(const std::string& logText, std::string* computerName = nullptr);

// A run's own lines, unstamped, in the log at logPath: after the start banner and the six
// start lines, before the end banner (the whole log when it is shorter).
std::vector<std::string> runLinesOf(const std::string& logPath);

// Removes the kit folder that every run of a Windows prefix shares, once the processes of the
// run before (the program and its tools, which may have had it as their folder) have let go of
// it: under Wine a process that has ended holds its folder a moment longer.
void removeSharedKitFolder(const std::string& kitDir);

// Whether the text is nothing but whole lines, each ended by CR LF: a banner rule, a banner
// text or a time-stamped event line. The first line that is not is put in firstBad.
bool onlyWholeLogLines(const std::string& logText, std::string* firstBad = nullptr);

// The computer name the program is expected to write on this machine.
std::string expectedComputerName();

// Runs of the program with a kit's arguments and environment, and the log they left: what
// every system's kit offers its tests. `Kit` has serverBase, supportDir, env() and logPath().
template <typename Kit>
class KitRuns {
public:
    ProgramResult run(const std::string& mode, const std::string& installType,
                      const std::map<std::string, std::string>& extraEnv = {}, int timeoutSeconds = 60,
                      const std::function<bool()>& terminateWhen = {}) const
    {
        auto all = kit().env();
        for (const auto& [k, v] : extraEnv) all[k] = v;
        return runTalvorin({mode, kit().serverBase, installType, kit().supportDir, "Setup.ini"}, all, timeoutSeconds,
                           terminateWhen);
    }

    std::vector<std::string> log() const { return unstampedLogLines(readFile(kit().logPath())); }
    std::vector<std::string> runLines() const { return runLinesOf(kit().logPath()); }

private:
    const Kit& kit() const { return static_cast<const Kit&>(*this); }
};

}  // namespace talvorin::testing
