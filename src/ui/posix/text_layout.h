#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/types.h"

namespace talvorin::ui {

class Control;
class Form;

// A place on a character-cell screen, relative to a window's client area.
struct CellRect {
    int col = 0;
    int row = 0;
    int width = 0;
    int height = 0;
    int right() const { return col + width; }
    bool operator==(const CellRect&) const = default;
};

// A window laid out in character cells from its pixel layout, for a text-mode front end.
// Columns follow the pixel positions at kPixelsPerColumn, widened where a text needs more
// room; rows keep the vertical order of the window: controls whose middles are close share a
// row, each edge of a framed group gets one of its own, and one empty row stays above and
// below. Controls without borders inside a Shape (the octets of an address and their dots)
// are packed side by side in it, each as wide as it can hold. Pictures take no cells.
struct TextLayout {
    static constexpr int kPixelsPerColumn = 6;

    int columns = 0;  // the client area's
    int rows = 0;
    std::map<const Control*, CellRect> cells;

    // The window with its frame.
    int windowColumns() const { return columns + 2; }
    int windowRows() const { return rows + 2; }
    const CellRect* find(const Control& c) const;
};

TextLayout layOutInCells(const Form& form);

// A text broken into lines of at most `width` columns at blanks; its own line breaks (CR LF,
// LF CR, CR or LF) are kept, and a word longer than a line is cut.
std::vector<std::string> wrapWords(const std::string& text, std::size_t width);

}  // namespace talvorin::ui
