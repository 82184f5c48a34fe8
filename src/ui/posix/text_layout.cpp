#include "ui/posix/text_layout.h"

#include <algorithm>
#include <cmath>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/posix/terminal_text.h"

namespace talvorin::ui {
namespace {

int toColumns(int pixels)
{
    return static_cast<int>(std::lround(static_cast<double>(pixels) / TextLayout::kPixelsPerColumn));
}

// The columns a control needs to show what it holds.
int contentColumns(const Control& c)
{
    return onKind(
        c, Overloaded{
               [](const Label& l) { return static_cast<int>(columnsOf(l.caption())); },
               [](const Button& b) { return static_cast<int>(columnsOf(b.caption())) + (b.focusable() ? 4 : 2); },
               [](const Edit& e) {
                   if (e.readOnly) return std::max(1, static_cast<int>(columnsOf(e.text())));
                   return static_cast<int>(e.maxLength);
               },
               [](const auto&) { return 1; },
           });
}

// A row of the layout: the pixel line it stands for and whether it is a group's edge.
struct Line {
    double y;
    bool edge;
};

constexpr double kSameRowPixels = 6;  // middles closer than this share a row

bool sameRow(const Line& a, const Line& b)
{
    if (a.edge != b.edge) return false;
    return std::abs(a.y - b.y) <= (a.edge ? 0.5 : kSameRowPixels);
}

bool inside(const Rect& outer, const Rect& inner)
{
    const int cx = inner.left + inner.width / 2, cy = inner.top + inner.height / 2;
    return cx >= outer.left && cx < outer.right() && cy >= outer.top && cy < outer.bottom();
}

}  // namespace

const CellRect* TextLayout::find(const Control& c) const
{
    const auto it = cells.find(&c);
    return it == cells.end() ? nullptr : &it->second;
}

TextLayout layOutInCells(const Form& form)
{
    TextLayout out;
    out.columns = toColumns(form.clientSize.width);

    std::vector<Line> lines;
    const auto middle = [](const Rect& r) { return r.top + r.height / 2.0; };
    for (const Control* c : form.controls()) {
        if (as<Image>(c)) continue;
        const Rect r = c->clientBounds();
        if (as<GroupBox>(c)) {
            lines.push_back({static_cast<double>(r.top), true});
            lines.push_back({static_cast<double>(r.bottom()), true});
        } else {
            lines.push_back({middle(r), false});
        }
    }
    std::sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.y < b.y; });
    // Each run of lines that share a row gets the next row; row 0 stays empty.
    std::vector<std::pair<Line, int>> rowOf;
    int row = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == 0 || !sameRow(lines[i - 1], lines[i])) ++row;
        rowOf.emplace_back(lines[i], row);
    }
    out.rows = row + 2;
    const auto rowFor = [&](double y, bool edge) {
        for (const auto& [line, r] : rowOf)
            if (line.edge == edge && std::abs(line.y - y) < 1e-9) return r;
        return 0;
    };

    std::vector<const Control*> packed;
    for (const Control* c : form.controls()) {
        if (as<Image>(c)) continue;
        const Rect r = c->clientBounds();
        CellRect cell;
        cell.col = toColumns(r.left);
        if (as<GroupBox>(c)) {
            cell.row = rowFor(r.top, true);
            cell.height = rowFor(r.bottom(), true) - cell.row + 1;
            cell.width = toColumns(r.right()) - cell.col;
        } else {
            cell.row = rowFor(middle(r), false);
            cell.height = 1;
            cell.width = std::max({1, toColumns(r.width), contentColumns(*c)});
        }
        out.cells[c] = cell;
    }

    // Inside a frame, one blank column stays next to its edge.
    for (const Control* c : form.controls()) {
        if (c->parent == nullptr || !out.cells.count(c) || !out.cells.count(c->parent)) continue;
        CellRect& cell = out.cells[c];
        cell.col = std::max(cell.col, out.cells[c->parent].col + 2);
    }

    // What sits without a border of its own inside a shape is packed into it.
    for (const Control* c : form.controls()) {
        if (!as<Shape>(c)) continue;
        std::vector<const Edit*> parts;
        for (const Control* o : form.controls())
            if (auto* e = as<Edit>(o); e && !e->bordered && inside(c->clientBounds(), o->clientBounds()))
                parts.push_back(e);
        std::sort(parts.begin(), parts.end(),
                  [](const Edit* a, const Edit* b) { return a->clientBounds().left < b->clientBounds().left; });
        CellRect& shape = out.cells[c];
        int col = shape.col + 1;
        for (const Edit* e : parts) {
            CellRect& cell = out.cells[e];
            cell.col = col;
            cell.row = shape.row;
            cell.width = std::max(1, contentColumns(*e));
            col += cell.width;
        }
        shape.width = std::max(shape.width, col + 1 - shape.col);
    }
    return out;
}

std::vector<std::string> wrapWords(const std::string& text, std::size_t width)
{
    width = std::max<std::size_t>(width, 1);
    std::vector<std::string> out;
    const std::string plain = terminalText(text);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = plain.find('\n', start);
        std::string paragraph = plain.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string line;
        std::size_t at = 0;
        // Words and the blanks after them; a line never starts with the blanks that broke it.
        while (at < paragraph.size()) {
            std::size_t wordEnd = paragraph.find(' ', at);
            if (wordEnd == std::string::npos) wordEnd = paragraph.size();
            std::string word = paragraph.substr(at, wordEnd - at);
            const bool first = line.empty();
            const std::size_t need = columnsOf(line) + (first ? 0 : 1) + columnsOf(word);
            if (!first && need > width) {
                out.push_back(line);
                line.clear();
            }
            if (!line.empty()) line += ' ';
            while (columnsOf(line) + columnsOf(word) > width) {
                const std::size_t room = width - columnsOf(line);
                const std::string head = clipToColumns(word, room);
                out.push_back(line + head);
                line.clear();
                word.erase(0, head.size());
            }
            line += word;
            at = wordEnd;
            while (at < paragraph.size() && paragraph[at] == ' ') ++at;
        }
        out.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

}  // namespace talvorin::ui
