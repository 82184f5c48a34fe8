#pragma once

#include <string>

#include "ui/types.h"

namespace talvorin::ui {

class ProgressBar;

// How the terminal front end writes the windows' texts.

// A message's text for a terminal: each line break, whether written CR LF, LF CR, CR or LF
// (pairs taken from the left), becomes one LF; every other byte is kept as it is.
std::string terminalText(const std::string& text);

// The columns a text takes: one per UTF-8 character.
std::size_t columnsOf(const std::string& text);
// The text's first characters that fit into the columns.
std::string clipToColumns(const std::string& text, std::size_t columns);

// What a window's one-line status shows.
struct StatusParts {
    std::string caption;
    std::string text;
    const ProgressBar* bar = nullptr;  // none when null
};

// The status as "caption | text [####      ]", made to fit into a terminal of the given
// width without reaching its last column (so the terminal never wraps it): when it is too
// wide the caption goes first, then the text is cut, and on a very narrow terminal the bar
// goes too.
std::string statusLine(const StatusParts& parts, std::size_t columns);

// What standard error receives for a box nobody can answer: "[Caption] text" and a line
// break, and for a box with a choice the answer taken and `why` nobody was asked. Every line
// break is `lineBreak` (the Windows build writes CR LF).
std::string unattendedBox(const Box& box, Answer answer, const std::string& why, const std::string& lineBreak);
// What it receives for a modal window that cannot be shown.
std::string unattendedDialog(const std::string& caption, const std::string& why, const std::string& lineBreak);
// The terminal's: why is that standard input or output is not a terminal, lines end in LF.
std::string unattendedBox(const Box& box, Answer answer);
std::string unattendedDialog(const std::string& caption);

}  // namespace talvorin::ui
