#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace talvorin::testing {

// A terminal screen of fixed size as an xterm or VT100 keeps it, for output that places the
// cursor (ncurses): cursor addressing, erasing, inserting and deleting, scrolling regions,
// the alternate screen, the DEC line-drawing set (read back as box-drawing characters) and
// the attributes of every cell. Unknown sequences are skipped.
class VtTerminal {
public:
    struct Cell {
        std::string ch = " ";
        bool bold = false, dim = false, underline = false, reverse = false;
        int fg = -1, bg = -1;  // -1: the terminal's default
        bool operator==(const Cell&) const = default;
    };

    VtTerminal(std::size_t rows, std::size_t columns);

    void feed(const std::string& bytes);
    // The terminal got a new size: what fits stays.
    void resize(std::size_t rows, std::size_t columns);

    std::size_t rows() const { return rows_; }
    std::size_t columns() const { return columns_; }
    // Each row as text, trailing blanks removed.
    std::vector<std::string> text() const;
    // The screen as one block: rows joined by LF, trailing empty rows left out.
    std::string picture() const;
    bool shows(const std::string& text) const;
    const Cell& at(std::size_t row, std::size_t col) const;
    // Where the text starts: {row, column in cells}; {npos, npos} when absent.
    std::pair<std::size_t, std::size_t> find(const std::string& text) const;
    // The text of the cells drawn reversed (the focus), row by row, runs joined by "|".
    std::string reversedText() const;
    std::size_t cursorRow() const { return row_; }
    std::size_t cursorCol() const { return col_; }
    bool cursorVisible() const { return cursorVisible_; }
    bool alternateScreen() const { return alternate_; }

private:
    using Grid = std::vector<std::vector<Cell>>;
    void print(const std::string& ch);
    void control(char c);
    void csi(char final);
    void escape(char c);
    void lineFeed();
    void scrollUp(std::size_t top, std::size_t bottom, std::size_t n);
    void scrollDown(std::size_t top, std::size_t bottom, std::size_t n);
    Cell blank() const;
    std::vector<int> params(int fallback) const;

    std::size_t rows_, columns_;
    Grid main_, alt_;
    bool alternate_ = false;
    std::size_t row_ = 0, col_ = 0, savedRow_ = 0, savedCol_ = 0;
    std::size_t top_ = 0, bottom_ = 0;  // the scrolling region, inclusive
    bool pendingWrap_ = false;
    bool cursorVisible_ = true;
    Cell pen_;
    bool g0Graphics_ = false, g1Graphics_ = false, shifted_ = false;
    std::string lastPrinted_ = " ";
    enum class State { Text, Escape, Csi, Charset, Skip } state_ = State::Text;
    char charsetTarget_ = '(';
    std::string params_;
    std::string utf8_;
    std::size_t utf8Need_ = 0;

    Grid& grid() { return alternate_ ? alt_ : main_; }
    const Grid& grid() const { return alternate_ ? alt_ : main_; }
};

}  // namespace talvorin::testing
