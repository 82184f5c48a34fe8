#pragma once

#include <optional>
#include <string>

#include "platform/window_handle.h"

namespace talvorin::platform {

// The shell's folder chooser, owned by `owner`, rooted at the desktop, offering file-system
// folders only, with `title` above the tree. The chosen folder's path; nullopt when the
// user cancelled or chose something that is no folder on disk. COM must be initialised.
std::optional<std::string> chooseFolder(WindowHandle owner, const std::string& title);

}  // namespace talvorin::platform
