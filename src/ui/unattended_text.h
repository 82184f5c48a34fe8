#pragma once

#include <string>

#include "ui/types.h"

namespace talvorin::ui {

// What the front ends write for boxes and windows nobody can see: both the terminal and the
// Windows build write them to standard error when they run unattended.

// A message's text for a terminal: each line break, whether written CR LF, LF CR, CR or LF
// (pairs taken from the left), becomes one LF; every other byte is kept as it is.
std::string terminalText(const std::string& text);

// What standard error receives for a box nobody can answer: "[Caption] text" and a line
// break, and for a box with a choice the answer taken and `why` nobody was asked. Every line
// break is `lineBreak` (the Windows build writes CR LF).
std::string unattendedBox(const Box& box, Answer answer, const std::string& why, const std::string& lineBreak);
// What it receives for a modal window that cannot be shown.
std::string unattendedDialog(const std::string& caption, const std::string& why, const std::string& lineBreak);

}  // namespace talvorin::ui
