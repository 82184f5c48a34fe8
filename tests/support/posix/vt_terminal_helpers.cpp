#include "support/posix/vt_terminal.h"

#include <vterm.h>

#include <algorithm>

namespace talvorin::testing {
namespace {

std::string utf8(uint32_t c)
{
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    std::string s(1, static_cast<char>(((0xff00 >> (extra + 1)) & 0xff) | (c >> (6 * extra))));
    for (int k = extra - 1; k >= 0; --k) s += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3f));
    return s;
}

std::string cellText(const VTermScreenCell& cell)
{
    if (cell.chars[0] == 0xffffffffu) return {};  // the right half of a wide character
    if (cell.chars[0] == 0) return " ";
    std::string s;
    for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i) s += utf8(cell.chars[i]);
    return s;
}

std::string trimmed(std::string s)
{
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

}  // namespace

struct VtCallbacks {
    static int damage(VTermRect rect, void* user)
    {
        auto& t = *static_cast<VtTerminal*>(user);
        if (rect.start_col == 0) {
            t.damagedColumnZero_ = true;
            t.damagedFrom_ = static_cast<std::size_t>(rect.start_row);
            t.damagedTo_ = static_cast<std::size_t>(rect.end_row);
        }
        return 1;
    }
    static int setProperty(VTermProp prop, VTermValue* value, void* user)
    {
        if (prop == VTERM_PROP_ALTSCREEN) static_cast<VtTerminal*>(user)->alternate_ = value->boolean != 0;
        return 1;
    }
    static int pushLine(int columns, const VTermScreenCell* cells, void* user)
    {
        std::string row;
        for (int c = 0; c < columns; ++c) row += cellText(cells[c]);
        static_cast<VtTerminal*>(user)->scrolledOff_.push_back(trimmed(row));
        return 1;
    }
    static constexpr VTermScreenCallbacks table{damage,  nullptr, nullptr,  setProperty,
                                                nullptr, nullptr, pushLine, nullptr};
};

void VtTerminal::Free::operator()(VTerm* vt) const { vterm_free(vt); }

VtTerminal::VtTerminal(std::size_t rows, std::size_t columns)
    : vt_(vterm_new(static_cast<int>(rows), static_cast<int>(columns))), rows_(rows), columns_(columns)
{
    vterm_set_utf8(vt_.get(), 1);
    VTermScreen* screen = vterm_obtain_screen(vt_.get());
    vterm_screen_set_callbacks(screen, &VtCallbacks::table, this);
    vterm_screen_enable_altscreen(screen, 1);
    vterm_screen_reset(screen, 1);
}

VtTerminal::~VtTerminal() = default;

void VtTerminal::feed(const std::string& bytes)
{
    // A byte at a time, to see the wraps: libvterm keeps no mark on a row begun by one. A
    // wrap is a character drawn at the start of the next row (scrolling up at the bottom)
    // by the byte after the one that filled the last column.
    for (const char b : bytes) {
        const std::size_t row = cursorRow(), col = cursorCol(), scrolled = scrolledOff_.size();
        damagedColumnZero_ = false;
        vterm_input_write(vt_.get(), &b, 1);
        const std::size_t nowRow = cursorRow(), nowCol = cursorCol();
        const bool nextRow = nowRow == row + 1 || (nowRow == row && scrolledOff_.size() > scrolled);
        if (col + 1 == columns_ && nowCol >= 1 && nowCol <= 2 && nextRow && damagedColumnZero_ &&
            damagedFrom_ <= nowRow && nowRow < damagedTo_)
            ++wrapped_;
    }
}

void VtTerminal::resize(std::size_t rows, std::size_t columns)
{
    vterm_set_size(vt_.get(), static_cast<int>(rows), static_cast<int>(columns));
    rows_ = rows;
    columns_ = columns;
}

VtTerminal::Cell VtTerminal::at(std::size_t row, std::size_t col) const
{
    VTermScreenCell cell{};
    vterm_screen_get_cell(vterm_obtain_screen(vt_.get()), VTermPos{static_cast<int>(row), static_cast<int>(col)},
                          &cell);
    return {cellText(cell), cell.attrs.underline != VTERM_UNDERLINE_OFF, cell.attrs.reverse != 0};
}

std::string VtTerminal::rowText(std::size_t row) const
{
    std::string line;
    for (std::size_t c = 0; c < columns_; ++c) line += at(row, c).ch;
    return trimmed(line);
}

std::string VtTerminal::picture() const
{
    std::vector<std::string> lines;
    for (std::size_t r = 0; r < rows_; ++r) lines.push_back(rowText(r));
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

bool VtTerminal::shows(const std::string& text) const { return find(text).first != std::string::npos; }

std::pair<std::size_t, std::size_t> VtTerminal::find(const std::string& text) const
{
    for (std::size_t r = 0; r < rows_; ++r) {
        std::string line;
        std::vector<std::size_t> cellAt;  // the cell each byte belongs to
        for (std::size_t c = 0; c < columns_; ++c) {
            line += at(r, c).ch;
            cellAt.resize(line.size(), c);
        }
        if (const auto pos = line.find(text); pos != std::string::npos) return {r, cellAt[pos]};
    }
    return {std::string::npos, std::string::npos};
}

std::string VtTerminal::reversedText() const
{
    std::string out;
    for (std::size_t r = 0; r < rows_; ++r) {
        bool in = false;
        for (std::size_t c = 0; c < columns_; ++c) {
            const Cell cell = at(r, c);
            if (cell.reverse) out += (!in && !out.empty() ? "|" : "") + cell.ch;
            in = cell.reverse;
        }
    }
    return out;
}

std::size_t VtTerminal::cursorRow() const
{
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_.get()), &pos);
    return static_cast<std::size_t>(pos.row);
}

std::size_t VtTerminal::cursorCol() const
{
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_.get()), &pos);
    return static_cast<std::size_t>(pos.col);
}

std::vector<std::string> VtScreen::rows() const
{
    std::vector<std::string> out = terminal_.scrolledOff();
    std::size_t used = terminal_.cursorRow() + 1;  // the rows begun so far, down to the cursor's
    for (std::size_t r = used; r < terminal_.rows(); ++r)
        if (!terminal_.rowText(r).empty()) used = r + 1;
    for (std::size_t r = 0; r < used; ++r) out.push_back(terminal_.rowText(r));
    return out;
}

std::string VtScreen::lastRow() const
{
    const auto all = rows();
    const auto it = std::find_if(all.rbegin(), all.rend(), [](const std::string& r) { return !r.empty(); });
    return it == all.rend() ? std::string() : *it;
}

bool VtScreen::shows(const std::string& text) const
{
    const auto all = rows();
    return std::any_of(all.begin(), all.end(), [&](const std::string& r) { return r.find(text) != std::string::npos; });
}

}  // namespace talvorin::testing
