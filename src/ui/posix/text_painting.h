#pragma once

#include <cstddef>
#include <vector>

#include "ui/posix/curses_screen.h"
#include "ui/types.h"

namespace talvorin::ui {

class Edit;
class Form;

// How the text-mode windows are drawn in cells: a form's window and controls, a message
// box, and the note that the terminal is too small. Drawing only; no keys.

// Where a window of that size sits: centred in the rows above the key line.
CellRect centred(int width, int height, int rows, int columns);

// The form's window, centred; active: its focus is shown. selected: a field whose whole
// text is selected.
void paintForm(CursesScreen& screen, const Form& form, bool active, const Edit* selected);

// The cells a message box takes on a screen of that size.
struct BoxShape {
    std::vector<std::string> lines;
    int width = 0, height = 0;
};
BoxShape shapeOf(const Box& box, int columns, int rows);
// The box, centred; focus: the position of the button that has the focus.
void paintBox(CursesScreen& screen, const Box& box, std::size_t focus);

// What is drawn instead of windows that do not fit: what they need, at least the minimum.
void paintTooSmall(CursesScreen& screen, const std::vector<const Form*>& forms, int minColumns, int minRows);

}  // namespace talvorin::ui
