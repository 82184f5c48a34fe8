#include "ui/posix/text_painting.h"

#include <algorithm>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/posix/terminal_text.h"
#include "ui/posix/text_layout.h"

namespace talvorin::ui {
namespace {

const char* iconMark(Icon icon)
{
    switch (icon) {
    case Icon::Warning: return "(!)";
    case Icon::Error: return "(X)";
    case Icon::Question: return "(?)";
    case Icon::Information: break;
    }
    return "(i)";
}

std::vector<std::string> buttonCaptions(Buttons b)
{
    if (b == Buttons::YesNo) return {"Yes", "No"};
    return {"OK"};
}

std::string buttonFace(const std::string& caption, int width)
{
    const int inner = std::max(static_cast<int>(columnsOf(caption)), width - 2);
    const int left = (inner - static_cast<int>(columnsOf(caption))) / 2;
    return "[" + std::string(static_cast<std::size_t>(left), ' ') + caption +
           std::string(static_cast<std::size_t>(inner - left - static_cast<int>(columnsOf(caption))), ' ') + "]";
}

constexpr int kBoxButtonWidth = 10;
constexpr std::size_t kBoxTextColumns = 60;

// The byte offset of the UTF-8 character after the one at pos.
std::size_t nextChar(const std::string& s, std::size_t pos)
{
    ++pos;
    while (pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xc0) == 0x80) ++pos;
    return pos;
}

void paintEdit(CursesScreen& screen, const Edit& e, const CellRect& at, int row, int col, bool active,
               const Edit* selected)
{
    const bool focused = active && e.focused();
    const Style field = focused                                       ? Style::Focus
                        : (e.enabled() && e.color() == Color::Window) ? Style::Field
                                                                      : Style::LockedField;
    std::string shown = e.password ? std::string(columnsOf(e.text()), '*') : e.text();
    const int width = at.width;
    const int caret = static_cast<int>(columnsOf(shown.substr(0, std::min(e.selStart(), e.text().size()))));
    int first = 0;  // the first column shown: the caret stays in view
    int pad = 0;
    const int length = static_cast<int>(columnsOf(shown));
    if (!e.bordered && e.maxLength != 0) {
        pad = std::max(0, width - length);  // an octet stands against the dot after it
    } else if (caret >= width) {
        first = caret - width + 1;
    }
    std::string visible = shown;
    for (int i = 0; i < first; ++i) visible.erase(0, nextChar(visible, 0));
    screen.fill(row, col, width, field);
    const Style text = focused && selected == &e && !e.text().empty() ? Style::Selected : field;
    screen.text(row, col + pad, visible, text, width - pad);
    if (focused && !e.readOnly) screen.placeCursor(row, col + std::min(pad + caret - first, width - 1));
}

// Draws each kind of control in its cells, in two passes: frames and shapes, then what
// lies on them.
class FormPainter final : public ConstControlVisitor {
public:
    FormPainter(CursesScreen& screen, bool active, const Edit* selected, bool buttonFocused)
        : screen_(screen), active_(active), selected_(selected), buttonFocused_(buttonFocused)
    {
    }
    bool frames = true;
    CellRect at;
    int row = 0, col = 0;

    void visit(const GroupBox& g) override
    {
        if (frames) screen_.frame({col, row, at.width, at.height}, g.caption(), Style::Window);
    }
    void visit(const Shape& s) override
    {
        if (frames) screen_.fill(row, col, at.width, s.color() == Color::Window ? Style::Field : Style::LockedField);
    }
    void visit(const Label& l) override
    {
        if (frames) return;
        const Style s = !l.enabled() ? Style::Disabled : l.font.underline ? Style::Link : Style::Window;
        screen_.text(row, col, l.caption(), s, at.width);
    }
    void visit(const Button& b) override
    {
        if (frames) return;
        if (!b.focusable()) {
            screen_.text(row, col, buttonFace(b.caption(), at.width - 1), Style::Help);
            return;
        }
        const bool focused = active_ && b.focused();
        const Style s = focused ? Style::Focus : (b.isDefault && !buttonFocused_) ? Style::Title : Style::Window;
        screen_.text(row, col, buttonFace(b.caption(), at.width - 1), s);
    }
    void visit(const Edit& e) override
    {
        if (!frames) paintEdit(screen_, e, at, row, col, active_, selected_);
    }
    void visit(const ProgressBar& p) override
    {
        if (frames) return;
        const int inner = std::max(0, at.width - 2);
        const int span = std::max(1, p.max() - p.min());
        const int filled = std::clamp((p.position() - p.min()) * inner / span, 0, inner);
        screen_.text(row, col, "[", Style::Window);
        screen_.fill(row, col + 1, filled, Style::Field, '#');
        screen_.fill(row, col + 1 + filled, inner - filled, Style::Field);
        screen_.text(row, col + 1 + inner, "]", Style::Window);
    }
    void visit(const Image&) override {}  // pictures take no cells

private:
    CursesScreen& screen_;
    bool active_;
    const Edit* selected_;
    bool buttonFocused_;
};

}  // namespace

CellRect centred(int width, int height, int rows, int columns)
{
    return {std::max(0, (columns - width) / 2), std::max(0, (rows - 1 - height) / 2), width, height};
}

BoxShape shapeOf(const Box& box, int columns, int rows)
{
    BoxShape s;
    const std::size_t room = static_cast<std::size_t>(std::max(10, std::min<int>(kBoxTextColumns, columns - 10)));
    s.lines = wrapWords(box.text, room);
    // Never taller than the terminal: the last lines give way, the buttons stay.
    const auto fit = static_cast<std::size_t>(std::max(1, rows - 1 - 5));
    if (s.lines.size() > fit) s.lines.resize(fit);
    std::size_t widest = 0;
    for (const auto& l : s.lines) widest = std::max(widest, columnsOf(l));
    const int buttons = static_cast<int>(buttonCaptions(box.buttons).size()) * (kBoxButtonWidth + 2) - 2;
    const int inner = std::max({static_cast<int>(widest) + 4, buttons, static_cast<int>(columnsOf(box.caption)) + 4});
    s.width = inner + 4;
    s.height = static_cast<int>(s.lines.size()) + 5;
    return s;
}

void paintTooSmall(CursesScreen& screen, const std::vector<const Form*>& forms, int minColumns, int minRows)
{
    int need = minColumns, needRows = minRows;
    for (const Form* f : forms) {
        const TextLayout l = layOutInCells(*f);
        need = std::max(need, l.windowColumns());
        needRows = std::max(needRows, l.windowRows() + 1);
    }
    const std::string text = "Terminal too small: the setup's windows need " + std::to_string(need) + " x " +
                             std::to_string(needRows) + " characters, this one has " +
                             std::to_string(screen.columns()) + " x " + std::to_string(screen.rows()) +
                             ". Make it larger to see them; the keys still work.";
    const auto lines = wrapWords(text, static_cast<std::size_t>(std::max(1, screen.columns())));
    for (std::size_t i = 0; i < lines.size() && static_cast<int>(i) < screen.rows(); ++i)
        screen.text(static_cast<int>(i), 0, lines[i], Style::Default);
}

void paintForm(CursesScreen& screen, const Form& form, bool active, const Edit* selected)
{
    const TextLayout layout = layOutInCells(form);
    const CellRect area = centred(layout.windowColumns(), layout.windowRows(), screen.rows(), screen.columns());
    screen.window(area, form.caption());
    bool buttonFocused = false;
    for (const Control* c : form.controls()) buttonFocused |= c->focused() && as<Button>(c) != nullptr;

    FormPainter painter(screen, active, selected, buttonFocused);
    // Frames and shapes first: the rest is drawn inside them.
    for (const bool frames : {true, false}) {
        painter.frames = frames;
        for (const Control* c : form.controls()) {
            const CellRect* at = layout.find(*c);
            if (at == nullptr || !c->visible()) continue;
            painter.at = *at;
            painter.row = area.row + 1 + at->row;
            painter.col = area.col + 1 + at->col;
            c->accept(painter);
        }
    }
}

void paintBox(CursesScreen& screen, const Box& box, std::size_t focus)
{
    const BoxShape s = shapeOf(box, screen.columns(), screen.rows());
    const CellRect area = centred(s.width, s.height, screen.rows(), screen.columns());
    screen.window(area, box.caption);
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        if (i == 0) screen.text(area.row + 2, area.col + 2, iconMark(box.icon), Style::Title);
        screen.text(area.row + 2 + static_cast<int>(i), area.col + 6, s.lines[i], Style::Window);
    }
    const auto captions = buttonCaptions(box.buttons);
    const int all = static_cast<int>(captions.size()) * (kBoxButtonWidth + 2) - 2;
    int col = area.col + (s.width - all) / 2;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        screen.text(area.row + s.height - 2, col, buttonFace(captions[i], kBoxButtonWidth),
                    i == focus ? Style::Focus : Style::Window);
        col += kBoxButtonWidth + 2;
    }
}

}  // namespace talvorin::ui
