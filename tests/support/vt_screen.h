#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace talvorin::testing {

// What a person would see of a program's terminal output: a screen of a given width with
// endless scrollback, as far as the front end's output needs one. It wraps at the right edge
// as terminals do (a character in the last column leaves the cursor there until the next
// one), and knows CR, LF, BS, TAB and the sequences ESC [ n K, D, C, A, B and G; every other
// sequence is skipped.
class VtScreen {
public:
    explicit VtScreen(std::size_t columns) : columns_(columns) {}

    void feed(const std::string& bytes);
    // Later output wraps at the new width; what is there stays as it is.
    void resize(std::size_t columns) { columns_ = columns; }

    // Every row written so far, top to bottom, without trailing blanks.
    std::vector<std::string> rows() const;
    // The last row that holds anything.
    std::string lastRow() const;
    // How many rows were begun because the output ran past the right edge.
    std::size_t wrappedRows() const;
    // Whether some row holds the text.
    bool shows(const std::string& text) const;

private:
    void print(char byte);
    void control(char byte);
    void sequence(char final);
    std::vector<std::string>& row();

    std::size_t columns_;
    std::vector<std::vector<std::string>> cells_;  // one UTF-8 character per cell
    std::vector<bool> wrapped_;
    std::size_t row_ = 0, col_ = 0;
    bool pendingWrap_ = false;
    enum class State { Text, Escape, Csi } state_ = State::Text;
    std::string params_;
    bool hasLastCell_ = false;  // where a UTF-8 character's further bytes go
    std::size_t lastRow_ = 0, lastCell_ = 0;
};

}  // namespace talvorin::testing
