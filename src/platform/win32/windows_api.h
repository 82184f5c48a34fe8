#pragma once

// The one file that includes <windows.h>, so that every Windows source sees the same
// settings: no min/max macros, the lean header set, and the Windows 7 API level.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif

#include <windows.h>
