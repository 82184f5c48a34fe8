#pragma once

namespace talvorin::platform {

// A window of the system's own, as an owner for what the system shows: an HWND on
// Windows (a pointer type), nothing on POSIX.
using WindowHandle = void*;
inline constexpr WindowHandle kNoWindow = nullptr;

}  // namespace talvorin::platform
