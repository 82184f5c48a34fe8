// The dialog in character cells, as the terminal front end draws it: every control has room
// of its own, inside its frame, and the window fits an 80 x 24 terminal, whatever the fields
// hold.
#include <gtest/gtest.h>

#include "sqlinfo/sqlinfo_fixture.h"
#include "ui/posix/text_layout.h"

namespace talvorin::sqlinfo::testing {
namespace {

TEST_F(DialogTest, InCellsNoTwoControlsShareACellAndEachStaysInsideItsFrame)
{
    for (const char* address : {"", "1.2.3.4", "192.168.100.200"}) {
        SCOPED_TRACE(address);
        TfrmSQLInfo& d = shown();
        const std::string a = address;
        for (int k = 1; k <= 4; ++k) d.octet(k).setText("");
        if (!a.empty()) {
            std::size_t from = 0;
            for (int k = 1; k <= 4; ++k) {
                const std::size_t dot = a.find('.', from);
                d.octet(k).setText(a.substr(from, dot - from));
                from = dot + 1;
            }
        }
        const ui::TextLayout l = ui::layOutInCells(d);
        EXPECT_LE(l.windowColumns(), 80);
        EXPECT_LE(l.windowRows(), 23) << "a row stays for the keys";
        std::vector<const ui::Control*> placed;
        for (const ui::Control* c : d.controls()) {
            const ui::CellRect* r = l.find(*c);
            if (r == nullptr || dynamic_cast<const ui::GroupBox*>(c) || dynamic_cast<const ui::Shape*>(c)) continue;
            EXPECT_GE(r->col, 0) << c->name();
            EXPECT_LE(r->right(), l.columns) << c->name();
            if (const ui::Control* g = c->parent) {
                const ui::CellRect f = *l.find(*g);
                EXPECT_GT(r->col, f.col) << c->name();
                EXPECT_LT(r->right(), f.right()) << c->name();
                EXPECT_GT(r->row, f.row) << c->name();
                EXPECT_LT(r->row, f.row + f.height - 1) << c->name();
            }
            for (const ui::Control* o : placed) {
                const ui::CellRect q = *l.find(*o);
                const bool apart = q.row != r->row || q.right() <= r->col || r->right() <= q.col;
                EXPECT_TRUE(apart) << c->name() << " and " << o->name();
            }
            placed.push_back(c);
        }
    }
}

}  // namespace
}  // namespace talvorin::sqlinfo::testing
