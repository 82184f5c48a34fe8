#include "platform/win32/folder_chooser.h"

#include "platform/win32/windows_api.h"

#include <objbase.h>
#include <shlobj.h>

namespace talvorin::platform {

std::optional<std::string> chooseFolder(WindowHandle owner, const std::string& title)
{
    BROWSEINFOA info{};
    info.hwndOwner = static_cast<HWND>(owner);
    info.pidlRoot = nullptr;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = ::SHBrowseForFolderA(&info);
    if (chosen == nullptr) return std::nullopt;
    char path[MAX_PATH] = {};
    const BOOL isFolder = ::SHGetPathFromIDListA(chosen, path);
    ::CoTaskMemFree(chosen);
    if (!isFolder) return std::nullopt;
    return std::string(path);
}

}  // namespace talvorin::platform
