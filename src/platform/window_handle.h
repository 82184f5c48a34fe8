#pragma once

namespace talvorin::platform {

// A window of the system's user interface (HWND on Windows); the owner of whatever the
// system shows on the program's behalf.
using WindowHandle = void*;
inline constexpr WindowHandle kNoWindow = nullptr;

}  // namespace talvorin::platform
