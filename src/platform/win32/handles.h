#pragma once

#include <string>
#include <utility>

#include "platform/unique_resource.h"
#include "platform/win32/windows_api.h"

// Owners of the Windows handles this program opens.
namespace talvorin::platform {

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::CloseHandle(h); }
};
// A process, event or other kernel object (null when none; CreateFile's
// INVALID_HANDLE_VALUE is turned into null by its caller).
using UniqueHandle = UniqueResource<KernelHandleTraits>;

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::RegCloseKey(h); }
};
using UniqueRegistryKey = UniqueResource<RegistryKeyTraits>;

struct WindowTraits {
    using Handle = HWND;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::DestroyWindow(h); }
};
using UniqueWindow = UniqueResource<WindowTraits>;

struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::DeleteObject(h); }
};
// A font, brush or bitmap this program created.
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;

struct IconTraits {
    using Handle = HICON;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::DestroyIcon(h); }
};
using UniqueIcon = UniqueResource<IconTraits>;

struct WindowDcTraits {
    using Handle = std::pair<HWND, HDC>;
    static Handle invalid() noexcept { return {nullptr, nullptr}; }
    static void close(Handle h) noexcept { ::ReleaseDC(h.first, h.second); }
};
// A device context from GetDC, given back with ReleaseDC.
using UniqueWindowDc = UniqueResource<WindowDcTraits>;

struct LocalMemoryTraits {
    using Handle = void*;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::LocalFree(h); }
};
// Memory the system allocated for the caller to give back with LocalFree (SID strings,
// security descriptors).
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

// The system's text for an error code (GetLastError, a registry result), without the
// line break Windows ends it with; the number when the system has no text for it.
std::string errorText(DWORD code);

}  // namespace talvorin::platform
