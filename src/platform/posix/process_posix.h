#pragma once

#include "platform/process.h"

namespace talvorin::platform {

// The launcher that watches its children through SIGCHLD, as systemProcessLauncher() does
// on kernels without pidfd_open; lets the tests run that path on any kernel.
ProcessLauncher& sigchldProcessLauncher();

}  // namespace talvorin::platform
