#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "ui/posix/text_layout.h"

struct screen;

namespace talvorin::ui {

// How a cell is drawn. With colours: windows black on white on a blue screen, fields black
// on cyan; without: fields underlined, the focus reversed, disabled things dim.
enum class Style { Screen, Window, Title, Field, LockedField, Focus, Selected, Link, Disabled, Help, Default };

// One ncurses session on the terminal: the screen's size, and drawing in cells. Only the
// drawing is ncurses'; keys are read by the front end itself.
class CursesScreen {
public:
    // None when the terminal cannot be drawn on that way (an unknown type, no cursor
    // addressing).
    static std::unique_ptr<CursesScreen> open(int in, int out);
    ~CursesScreen();
    CursesScreen(const CursesScreen&) = delete;
    CursesScreen& operator=(const CursesScreen&) = delete;

    int rows() const;
    int columns() const;
    bool colours() const { return colours_; }
    // Takes the terminal's present size; true when it changed.
    bool followTerminalSize();

    void clear();
    // A window: its area filled, a frame round it with the caption in its top edge.
    void window(const CellRect& area, const std::string& caption);
    void frame(const CellRect& area, const std::string& caption, Style style);
    // Text from that cell on, cut at the screen's edge or after `width` columns (0: no limit).
    void text(int row, int col, const std::string& text, Style style, int width = 0);
    void fill(int row, int col, int width, Style style, char c = ' ');
    void placeCursor(int row, int col);
    void hideCursor();
    // Sends what changed since the last time.
    void show();

private:
    CursesScreen() = default;
    int attributes(Style style) const;

    FILE* out_ = nullptr;
    FILE* in_ = nullptr;
    ::screen* screen_ = nullptr;
    bool colours_ = false;
    bool cursorShown_ = false;
    int cursorRow_ = -1, cursorCol_ = -1;
};

}  // namespace talvorin::ui
