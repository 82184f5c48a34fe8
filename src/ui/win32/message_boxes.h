#pragma once

#include <string>

#include "platform/win32/windows_api.h"
#include "ui/types.h"

namespace talvorin::ui::win32 {

// The box as the system draws it, owned by `owner` (disabled while it is open; null: every
// window of the thread is). Enter chooses OK or Yes; Escape chooses OK, or No, which a
// system Yes/No box does not do by itself.
Answer showMessageBox(HWND owner, const Box& box);

// The box for a run nobody watches: "[Caption] text", each line break as CR LF, written to
// standard error in one write. Lost when there is no standard error.
void writeUnattendedBox(const Box& box);

}  // namespace talvorin::ui::win32
