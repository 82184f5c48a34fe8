#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/wait_handle.h"
#include "platform/window_handle.h"

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

// What to start and how.
struct LaunchRequest {
    std::string program;
    std::string parameters;          // the whole argument string, passed on unchanged
    std::string workingDirectory;    // empty: the tool starts in this program's current folder
    WindowHandle owner = kNoWindow;  // owner of anything the system shows (the main window)
};

struct LaunchResult {
    std::unique_ptr<ChildProcess> child;  // null when the program could not be started
    std::string failure;                  // the system's reason then (strerror / FormatMessage text)
};

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts the program hidden with the argument string as given (split by
    // formats::splitCommandLine, formats/command_line.h, where the system needs a list), in the
    // working directory when it is not empty.
    virtual LaunchResult start(const LaunchRequest& request) = 0;
};

ProcessLauncher& systemProcessLauncher();

}  // namespace talvorin::platform
