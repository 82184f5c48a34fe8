#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/wait_handle.h"

namespace talvorin::platform {

// A started child process; the handle is released when this is destroyed. The child
// itself is never stopped by this program.
class ChildProcess {
public:
    virtual ~ChildProcess() = default;
    // The exit code once the child has ended; nullopt while it runs. Never blocks.
    virtual std::optional<int> exitCode() = 0;
    // Signalled when the child ends.
    virtual WaitHandle endSignal() const = 0;
};

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts the program hidden with the argument string as given (split as the Microsoft
    // C runtime would where the system needs a list), in the working directory when it is
    // not empty. Null when the program cannot be started.
    virtual std::unique_ptr<ChildProcess> start(const std::string& program,
                                                const std::string& parameters,
                                                const std::string& workingDirectory) = 0;
};

ProcessLauncher& systemProcessLauncher();

// Splits an argument string by the rules of CommandLineToArgvW for the arguments after
// the program name: blanks and tabs separate, double quotes group, 2n backslashes before a
// quote give n backslashes, 2n+1 give n and a literal quote, other backslashes are literal,
// and "" inside a quoted part gives one quote.
std::vector<std::string> splitCommandLine(const std::string& parameters);

}  // namespace talvorin::platform
