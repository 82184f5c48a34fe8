#pragma once

#include <string>

namespace talvorin::ui {

// The title a program file gives: its name up to the first full stop, every character after
// the first in lower case ("Talvorin" for Talvorin.exe, "Vdsetup" for VDSETUP.EXE).
std::string titleOfProgramFile(const std::string& path);

}  // namespace talvorin::ui
