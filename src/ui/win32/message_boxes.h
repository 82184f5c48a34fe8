#pragma once

#include <string>

#include "platform/win32/windows_api.h"
#include "ui/types.h"

namespace talvorin::ui {

// The box as the system draws it, owned by `owner` (disabled while it is open; null: every
// window of the thread is). Enter chooses OK or Yes; Escape chooses OK, or No, which a
// system Yes/No box does not do by itself.
Answer showMessageBox(HWND owner, const Box& box);

// For a run nobody watches, written to standard error in one write (lost when there is no
// standard error): the box as "[Caption] text" with the answer Escape gives to a choice, and a
// modal window as not shown; each line break as CR LF.
void writeUnattendedBox(const Box& box);
void writeUnattendedDialog(const std::string& caption);

}  // namespace talvorin::ui
