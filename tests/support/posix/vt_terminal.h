#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct VTerm;

namespace talvorin::testing {

// A terminal screen of fixed size as libvterm keeps it, an xterm-like emulator of its own:
// what a program's output shows, read independently of how the program meant it. Bytes are
// fed in synchronously, so a test reads the screen exactly as far as the output has come.
class VtTerminal {
public:
    struct Cell {
        std::string ch = " ";  // one UTF-8 character; "" for the right half of a wide one
        bool underline = false, reverse = false;
    };

    VtTerminal(std::size_t rows, std::size_t columns);
    ~VtTerminal();
    VtTerminal(const VtTerminal&) = delete;
    VtTerminal& operator=(const VtTerminal&) = delete;

    void feed(const std::string& bytes);
    // The terminal got a new size: what fits stays.
    void resize(std::size_t rows, std::size_t columns);

    std::size_t rows() const { return rows_; }
    std::size_t columns() const { return columns_; }
    // A row as text, trailing blanks removed.
    std::string rowText(std::size_t row) const;
    // The screen as one block: rows joined by LF, trailing empty rows left out.
    std::string picture() const;
    bool shows(const std::string& text) const;
    Cell at(std::size_t row, std::size_t col) const;
    // Where the text starts: {row, column in cells}; {npos, npos} when absent.
    std::pair<std::size_t, std::size_t> find(const std::string& text) const;
    // The text of the cells drawn reversed (the focus), row by row, runs joined by "|".
    std::string reversedText() const;
    std::size_t cursorRow() const;
    std::size_t cursorCol() const;
    bool alternateScreen() const { return alternate_; }
    // The rows that scrolled off the top of the main screen, oldest first.
    const std::vector<std::string>& scrolledOff() const { return scrolledOff_; }
    // How many rows were begun because the output ran past the right edge.
    std::size_t wrappedRows() const { return wrapped_; }

private:
    struct Free {
        void operator()(VTerm* vt) const;
    };
    friend struct VtCallbacks;  // libvterm's callbacks, in the .cpp

    std::unique_ptr<VTerm, Free> vt_;
    std::size_t rows_, columns_;
    bool alternate_ = false;
    std::vector<std::string> scrolledOff_;
    std::size_t wrapped_ = 0;
    bool damagedColumnZero_ = false;
    std::size_t damagedFrom_ = 0, damagedTo_ = 0;  // the rows of the last damage that began at column 0
};

// What a person would see of a line-mode program's output: the terminal's rows, and above
// them every row that scrolled off.
class VtScreen {
public:
    explicit VtScreen(std::size_t columns, std::size_t rows = 24) : terminal_(rows, columns) {}

    void feed(const std::string& bytes) { terminal_.feed(bytes); }
    void resize(std::size_t columns) { terminal_.resize(terminal_.rows(), columns); }
    void resize(std::size_t columns, std::size_t rows) { terminal_.resize(rows, columns); }

    // Every row written so far, top to bottom, without trailing blanks.
    std::vector<std::string> rows() const;
    // The last row that holds anything.
    std::string lastRow() const;
    std::size_t wrappedRows() const { return terminal_.wrappedRows(); }
    // Whether some row holds the text.
    bool shows(const std::string& text) const;
    const VtTerminal& terminal() const { return terminal_; }

private:
    VtTerminal terminal_;
};

}  // namespace talvorin::testing
