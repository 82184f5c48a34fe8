#include "support/vt_terminal.h"

#include <algorithm>
#include <cstdlib>

namespace talvorin::testing {
namespace {

// The DEC special graphics set, as far as line drawing goes.
std::string graphic(char c)
{
    switch (c) {
    case 'j': return "┘";
    case 'k': return "┐";
    case 'l': return "┌";
    case 'm': return "└";
    case 'n': return "┼";
    case 'q': return "─";
    case 't': return "├";
    case 'u': return "┤";
    case 'v': return "┴";
    case 'w': return "┬";
    case 'x': return "│";
    case 'a': return "▒";
    case '~': return "·";
    case '0': return "█";
    default: return std::string(1, c);
    }
}

}  // namespace

VtTerminal::VtTerminal(std::size_t rows, std::size_t columns) : rows_(rows), columns_(columns), bottom_(rows - 1)
{
    main_.assign(rows_, std::vector<Cell>(columns_));
    alt_ = main_;
}

VtTerminal::Cell VtTerminal::blank() const
{
    Cell c;
    c.bg = pen_.bg;  // erasing fills with the background colour, as xterm does
    c.reverse = false;
    return c;
}

void VtTerminal::resize(std::size_t rows, std::size_t columns)
{
    for (Grid* g : {&main_, &alt_}) {
        g->resize(rows);
        for (auto& r : *g) r.resize(columns);
    }
    rows_ = rows;
    columns_ = columns;
    top_ = 0;
    bottom_ = rows - 1;
    row_ = std::min(row_, rows - 1);
    col_ = std::min(col_, columns - 1);
    pendingWrap_ = false;
}

std::vector<int> VtTerminal::params(int fallback) const
{
    std::vector<int> out;
    std::string p = params_;
    if (!p.empty() && (p[0] == '?' || p[0] == '>' || p[0] == '=')) p.erase(0, 1);
    std::size_t at = 0;
    while (at <= p.size()) {
        const std::size_t end = std::min(p.find(';', at), p.size());
        const std::string part = p.substr(at, end - at);
        out.push_back(part.empty() ? fallback : std::atoi(part.c_str()));
        at = end + 1;
    }
    return out;
}

void VtTerminal::scrollUp(std::size_t top, std::size_t bottom, std::size_t n)
{
    auto& g = grid();
    for (std::size_t k = 0; k < n; ++k) {
        g.erase(g.begin() + static_cast<std::ptrdiff_t>(top));
        g.insert(g.begin() + static_cast<std::ptrdiff_t>(bottom), std::vector<Cell>(columns_, blank()));
    }
}

void VtTerminal::scrollDown(std::size_t top, std::size_t bottom, std::size_t n)
{
    auto& g = grid();
    for (std::size_t k = 0; k < n; ++k) {
        g.erase(g.begin() + static_cast<std::ptrdiff_t>(bottom));
        g.insert(g.begin() + static_cast<std::ptrdiff_t>(top), std::vector<Cell>(columns_, blank()));
    }
}

void VtTerminal::lineFeed()
{
    if (row_ == bottom_)
        scrollUp(top_, bottom_, 1);
    else if (row_ + 1 < rows_)
        ++row_;
}

void VtTerminal::print(const std::string& ch)
{
    if (pendingWrap_) {
        pendingWrap_ = false;
        col_ = 0;
        lineFeed();
    }
    Cell c = pen_;
    c.ch = ((shifted_ ? g1Graphics_ : g0Graphics_) && ch.size() == 1) ? graphic(ch[0]) : ch;
    grid()[row_][col_] = c;
    lastPrinted_ = ch;
    if (col_ + 1 >= columns_)
        pendingWrap_ = true;
    else
        ++col_;
}

void VtTerminal::control(char c)
{
    switch (c) {
    case '\r': col_ = 0; break;
    case '\n':
    case '\v':
    case '\f': lineFeed(); break;
    case '\b': if (col_ > 0) --col_; break;
    case '\t': col_ = std::min(columns_ - 1, (col_ / 8 + 1) * 8); break;
    case 0x0e: shifted_ = true; return;
    case 0x0f: shifted_ = false; return;
    default: return;
    }
    pendingWrap_ = false;
}

void VtTerminal::escape(char c)
{
    state_ = State::Text;
    switch (c) {
    case '[': state_ = State::Csi; params_.clear(); break;
    case '(': case ')': state_ = State::Charset; charsetTarget_ = c; break;
    case '7': savedRow_ = row_; savedCol_ = col_; break;
    case '8': row_ = savedRow_; col_ = savedCol_; pendingWrap_ = false; break;
    case 'M':
        if (row_ == top_) scrollDown(top_, bottom_, 1); else if (row_ > 0) --row_;
        break;
    case 'D': lineFeed(); break;
    case 'E': col_ = 0; lineFeed(); break;
    case ']': case 'P': state_ = State::Skip; break;  // OSC and DCS run to BEL or ST
    default: break;
    }
}

void VtTerminal::csi(char final)
{
    state_ = State::Text;
    const bool priv = !params_.empty() && params_[0] == '?';
    const auto p = params(0);
    const auto count = [&](std::size_t i = 0) { return static_cast<std::size_t>(std::max(1, i < p.size() ? p[i] : 1)); };
    auto& g = grid();
    auto& line = g[row_];
    switch (final) {
    case 'H': case 'f':
        row_ = std::min(rows_ - 1, count(0) - 1);
        col_ = std::min(columns_ - 1, (p.size() > 1 ? count(1) : 1) - 1);
        break;
    case 'A': row_ = row_ >= count() ? row_ - count() : 0; break;
    case 'B': row_ = std::min(rows_ - 1, row_ + count()); break;
    case 'C': col_ = std::min(columns_ - 1, col_ + count()); break;
    case 'D': col_ = col_ >= count() ? col_ - count() : 0; break;
    case 'E': row_ = std::min(rows_ - 1, row_ + count()); col_ = 0; break;
    case 'F': row_ = row_ >= count() ? row_ - count() : 0; col_ = 0; break;
    case 'G': case '`': col_ = std::min(columns_ - 1, count() - 1); break;
    case 'd': row_ = std::min(rows_ - 1, count() - 1); break;
    case 'J': {
        const int n = p.empty() ? 0 : p[0];
        const std::size_t from = n == 0 ? row_ + 1 : 0, to = n == 1 ? row_ : rows_;
        for (std::size_t r = from; r < to; ++r) std::fill(g[r].begin(), g[r].end(), blank());
        if (n == 0) std::fill(line.begin() + static_cast<std::ptrdiff_t>(col_), line.end(), blank());
        if (n == 1) std::fill(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(col_ + 1), blank());
        break;
    }
    case 'K': {
        const int n = p.empty() ? 0 : p[0];
        const std::size_t from = n == 0 ? col_ : 0, to = n == 1 ? col_ + 1 : columns_;
        std::fill(line.begin() + static_cast<std::ptrdiff_t>(from), line.begin() + static_cast<std::ptrdiff_t>(to), blank());
        break;
    }
    case 'X': {
        const std::size_t to = std::min(columns_, col_ + count());
        std::fill(line.begin() + static_cast<std::ptrdiff_t>(col_), line.begin() + static_cast<std::ptrdiff_t>(to), blank());
        break;
    }
    case '@':
        for (std::size_t k = 0; k < count(); ++k) {
            line.insert(line.begin() + static_cast<std::ptrdiff_t>(col_), blank());
            line.pop_back();
        }
        break;
    case 'P':
        for (std::size_t k = 0; k < count() && col_ < line.size(); ++k) {
            line.erase(line.begin() + static_cast<std::ptrdiff_t>(col_));
            line.push_back(blank());
        }
        break;
    case 'L': if (row_ >= top_ && row_ <= bottom_) scrollDown(row_, bottom_, count()); break;
    case 'M': if (row_ >= top_ && row_ <= bottom_) scrollUp(row_, bottom_, count()); break;
    case 'S': scrollUp(top_, bottom_, count()); break;
    case 'T': scrollDown(top_, bottom_, count()); break;
    case 'b': for (std::size_t k = 0; k < count(); ++k) print(lastPrinted_); break;
    case 'r':
        top_ = p.empty() || p[0] == 0 ? 0 : static_cast<std::size_t>(p[0] - 1);
        bottom_ = p.size() < 2 || p[1] == 0 ? rows_ - 1 : std::min(rows_ - 1, static_cast<std::size_t>(p[1] - 1));
        row_ = col_ = 0;
        break;
    case 'h': case 'l':
        if (priv)
            for (int mode : p) {
                if (mode == 25) cursorVisible_ = final == 'h';
                if (mode == 1049 || mode == 47 || mode == 1047) {
                    const bool on = final == 'h';
                    if (on && !alternate_) {
                        savedRow_ = row_, savedCol_ = col_;
                        alt_.assign(rows_, std::vector<Cell>(columns_));
                    }
                    if (!on && alternate_) row_ = savedRow_, col_ = savedCol_;
                    alternate_ = on;
                }
            }
        break;
    case 'm': {
        const auto sgr = params(0);
        for (std::size_t i = 0; i < sgr.size(); ++i) {
            const int n = sgr[i];
            if (n == 0) pen_ = Cell{};
            else if (n == 1) pen_.bold = true;
            else if (n == 2) pen_.dim = true;
            else if (n == 4) pen_.underline = true;
            else if (n == 7) pen_.reverse = true;
            else if (n == 22) pen_.bold = pen_.dim = false;
            else if (n == 24) pen_.underline = false;
            else if (n == 27) pen_.reverse = false;
            else if (n >= 30 && n <= 37) pen_.fg = n - 30;
            else if (n == 39) pen_.fg = -1;
            else if (n >= 40 && n <= 47) pen_.bg = n - 40;
            else if (n == 49) pen_.bg = -1;
            else if ((n == 38 || n == 48) && i + 2 < sgr.size() && sgr[i + 1] == 5) {
                (n == 38 ? pen_.fg : pen_.bg) = sgr[i + 2];
                i += 2;
            }
        }
        break;
    }
    default: break;
    }
    pendingWrap_ = false;
}

void VtTerminal::feed(const std::string& bytes)
{
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        switch (state_) {
        case State::Text:
            if (utf8Need_ > 0 && (u & 0xc0) == 0x80) {
                utf8_ += b;
                if (--utf8Need_ == 0) print(utf8_);
                continue;
            }
            utf8Need_ = 0;
            if (b == '\x1b') state_ = State::Escape;
            else if (u < 0x20 || u == 0x7f) control(b);
            else if (u >= 0xc0) {
                utf8_ = std::string(1, b);
                utf8Need_ = u >= 0xf0 ? 3 : u >= 0xe0 ? 2 : 1;
            } else print(std::string(1, b));
            break;
        case State::Escape: escape(b); break;
        case State::Charset:
            (charsetTarget_ == '(' ? g0Graphics_ : g1Graphics_) = b == '0';
            state_ = State::Text;
            break;
        case State::Csi:
            if (u >= 0x40 && u <= 0x7e) csi(b);
            else params_ += b;
            break;
        case State::Skip:
            if (b == '\x07' || b == '\\') state_ = State::Text;
            break;
        }
    }
}

std::vector<std::string> VtTerminal::text() const
{
    std::vector<std::string> out;
    for (const auto& r : grid()) {
        std::string line;
        for (const auto& c : r) line += c.ch;
        line.erase(line.find_last_not_of(' ') + 1);
        out.push_back(line);
    }
    return out;
}

std::string VtTerminal::picture() const
{
    auto lines = text();
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

bool VtTerminal::shows(const std::string& t) const { return find(t).first != std::string::npos; }

const VtTerminal::Cell& VtTerminal::at(std::size_t row, std::size_t col) const { return grid()[row][col]; }

std::pair<std::size_t, std::size_t> VtTerminal::find(const std::string& t) const
{
    const auto& g = grid();
    for (std::size_t r = 0; r < rows_; ++r) {
        std::string line;
        std::vector<std::size_t> cellAt;  // the cell each byte belongs to
        for (std::size_t c = 0; c < columns_; ++c) {
            line += g[r][c].ch;
            cellAt.resize(line.size(), c);
        }
        if (const auto pos = line.find(t); pos != std::string::npos) return {r, cellAt[pos]};
    }
    return {std::string::npos, std::string::npos};
}

std::string VtTerminal::reversedText() const
{
    std::string out;
    for (const auto& r : grid()) {
        bool in = false;
        for (const auto& c : r) {
            if (c.reverse) {
                if (!in && !out.empty()) out += "|";
                out += c.ch;
            }
            in = c.reverse;
        }
    }
    return out;
}

}  // namespace talvorin::testing
