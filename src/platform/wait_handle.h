#pragma once

namespace talvorin::platform {

// Something the event loop can sleep on until it is signalled: a file descriptor
// on POSIX, a kernel object handle on Windows. The only place the two differ in type.
#ifdef _WIN32
using WaitHandle = void*;
inline constexpr WaitHandle kNoWaitHandle = nullptr;
#else
using WaitHandle = int;
inline constexpr WaitHandle kNoWaitHandle = -1;
#endif

}  // namespace talvorin::platform
