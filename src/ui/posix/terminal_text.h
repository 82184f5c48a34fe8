#pragma once

#include <string>

#include "ui/types.h"
#include "ui/unattended_text.h"

namespace talvorin::ui {

class ProgressBar;

// How the terminal front end writes the windows' texts.


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

// The terminal's: why is that standard input or output is not a terminal, lines end in LF.
std::string unattendedBox(const Box& box, Answer answer);
std::string unattendedDialog(const std::string& caption);

}  // namespace talvorin::ui
