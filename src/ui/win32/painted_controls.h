#pragma once

#include "platform/win32/windows_api.h"

// The two controls the program draws itself, as window classes of their own: a speed
// button (a button face with a caption that never takes the focus) and a shape (a framed
// rectangle filled with one colour). Both are registered on first use.
namespace talvorin::ui {

inline constexpr const char* kSpeedButtonClass = "TalvorinSpeedButton";
inline constexpr const char* kShapeClass = "TalvorinShape";

// wParam: the COLORREF a speed button draws its caption in, or a shape its inside.
inline constexpr UINT kSetPaintColor = WM_APP + 1;
inline constexpr UINT kGetPaintColor = WM_APP + 2;

void registerPaintedControls(HINSTANCE instance);

}  // namespace talvorin::ui
