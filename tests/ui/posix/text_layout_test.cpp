// A window in character cells: texts broken at word boundaries, rows kept in order, frames
// round their controls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/memory_backend.h"
#include "ui/posix/text_layout.h"

namespace talvorin::ui {
namespace {

TEST(WrapWords, BreaksAtBlanksKeepsLineBreaksAndCutsOnlyWordsLongerThanALine)
{
    const struct {
        std::string text;
        std::size_t width;
        std::vector<std::string> lines;
    } cases[] = {
        {"one two three", 7, {"one two", "three"}},
        {"one two three", 13, {"one two three"}},
        {"one  two", 3, {"one", "two"}},            // the blanks that break go
        {"abcdefghij", 4, {"abcd", "efgh", "ij"}},  // too long for any line
        {"ab abcdefgh", 4, {"ab", "abcd", "efgh"}},
        {"Wrong.\n\rCorrect format", 20, {"Wrong.", "Correct format"}},
        {"first. \rAre you sure?", 40, {"first.", "Are you sure?"}},
        {"a\r\n\r\nb", 5, {"a", "", "b"}},
        {"Žluťoučký kůň", 9, {"Žluťoučký", "kůň"}},  // columns, not bytes
        {"", 5, {""}},
    };
    for (const auto& c : cases) EXPECT_EQ(wrapWords(c.text, c.width), c.lines) << c.text << " / " << c.width;
}

TEST(TextLayout, RowsFollowTheWindowsOrderAndFramesHoldTheirControls)
{
    MemoryBackend backend;
    Form form(backend, "frm", "Caption");
    form.clientSize = {300, 120};
    GroupBox group(form, "grp", "Group");
    group.setBounds({8, 8, 284, 60});
    Label label(form, "lbl", "A label longer than its bounds");
    label.parent = &group;
    label.setBounds({4, 20, 30, 13});
    Edit edit(form, "edt");
    edit.parent = &group;
    edit.setBounds({120, 16, 100, 21});  // its middle is the label's, within a few pixels
    Button ok(form, "btnOK", "OK");
    ok.setBounds({200, 80, 75, 25});

    const TextLayout l = layOutInCells(form);
    const CellRect g = *l.find(group), lb = *l.find(label), e = *l.find(edit), b = *l.find(ok);
    EXPECT_EQ(l.columns, 50);
    EXPECT_EQ(lb.row, e.row) << "one row for controls side by side";
    EXPECT_GT(lb.row, g.row);
    EXPECT_LT(lb.row, g.row + g.height - 1) << "inside the frame";
    EXPECT_GT(b.row, g.row + g.height - 1) << "the button below the frame";
    EXPECT_EQ(l.rows, b.row + 2) << "an empty row below the last";
    EXPECT_GE(lb.col, g.col + 2) << "a blank column next to the frame";
    EXPECT_EQ(lb.width, 30) << "as wide as its caption";
    EXPECT_EQ(e.col, 21) << "its pixels at six a column: 128 / 6";
}

TEST(TextLayout, FieldsWithoutBordersInAShapeArePackedSideBySide)
{
    MemoryBackend backend;
    Form form(backend, "frm", "Caption");
    form.clientSize = {200, 60};
    Shape shape(form, "Shape1");
    shape.setBounds({10, 20, 125, 21});
    std::vector<std::unique_ptr<Edit>> parts;
    for (int k = 0; k < 4; ++k) {
        auto octet = std::make_unique<Edit>(form, "oct" + std::to_string(k));
        octet->bordered = false;
        octet->maxLength = 3;
        octet->setBounds({19 + 32 * k, 24, 12, 13});
        parts.push_back(std::move(octet));
        if (k == 3) break;
        auto dot = std::make_unique<Edit>(form, "dot" + std::to_string(k), ".");
        dot->bordered = false;
        dot->readOnly = true;
        dot->setBounds({36 + 32 * k, 24, 6, 13});
        parts.push_back(std::move(dot));
    }
    const TextLayout l = layOutInCells(form);
    int col = l.find(shape)->col + 1;
    for (const auto& p : parts) {
        const CellRect c = *l.find(*p);
        EXPECT_EQ(c.col, col) << p->name();
        EXPECT_EQ(c.width, p->readOnly ? 1 : 3) << p->name();
        EXPECT_EQ(c.row, l.find(shape)->row);
        col += c.width;
    }
    EXPECT_GE(l.find(shape)->right(), col + 1);
}

}  // namespace
}  // namespace talvorin::ui
