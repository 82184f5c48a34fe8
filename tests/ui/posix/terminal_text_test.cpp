// How the terminal front end writes texts: the status line's width, the unattended record
// of a box.
#include <gtest/gtest.h>

#include <string>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/memory_backend.h"
#include "ui/posix/terminal_text.h"

namespace talvorin::ui {
namespace {

using namespace std::string_literals;

TEST(TerminalText, StatusLineNeverReachesTheLastColumn)
{
    MemoryBackend ui;
    Form window(ui, "frm", "Velmora Deluxe Setup");
    ProgressBar bar(window, "pgbProcess");
    bar.setPosition(25);
    const StatusParts parts{"Velmora Deluxe Setup", "Creating databases and tables ......", &bar};
    const std::string gauge = " [#####               ]";
    const struct {
        std::size_t columns;
        std::string line;
    } cases[] = {
        {200, "Velmora Deluxe Setup | Creating databases and tables ......" + gauge},
        {83, "Velmora Deluxe Setup | Creating databases and tables ......" + gauge},
        {82, "Creating databases and tables ......" + gauge},  // the caption goes first
        {80, "Creating databases and tables ......" + gauge},
        {50, "Creating databases and tab" + gauge},  // then the text is cut
        {34, "Creating d" + gauge},
        {33, "Creating databases and tables .."},  // then the bar goes
        {1, ""},
        {0, ""},
    };
    for (const auto& c : cases) {
        const std::string line = statusLine(parts, c.columns);
        EXPECT_EQ(line, c.line) << c.columns << " columns";
        EXPECT_LT(columnsOf(line), std::max<std::size_t>(c.columns, 1)) << c.columns << " columns";
    }

    // Characters, not bytes, fill the columns; none is cut in half.
    EXPECT_EQ(statusLine({"", "Fehler beim Laden der Codetabellen: \xc3\xa4\xc3\xb6\xc3\xbc", nullptr}, 39),
              "Fehler beim Laden der Codetabellen: \xc3\xa4\xc3\xb6");
    bar.setPosition(100);
    EXPECT_EQ(statusLine({"", "Success", &bar}, 80), "Success [####################]");
}

TEST(TerminalText, UnattendedBoxGivesTheTextAndForAChoiceTheAnswerTaken)
{
    EXPECT_EQ(unattendedBox(Box::information("Wrong Parameters.\n\rCorrect format: ..."), Answer::Ok),
              "[Information] Wrong Parameters.\nCorrect format: ...\n");
    EXPECT_EQ(unattendedBox(Box::error("cut\0here"s), Answer::Ok), "[Error] cut\0here\n"s);
    EXPECT_EQ(unattendedBox(Box::warning("Do you want to enter the information again?", Buttons::YesNo), Answer::No),
              "[Warning] Do you want to enter the information again?\n"
              "[Warning] Answer: No (unattended: standard input or output is not a terminal)\n");
    EXPECT_EQ(unattendedDialog("SQL Server Information"),
              "[SQL Server Information] Not shown (unattended: standard input or output is not a terminal); "
              "it ends as Cancel\n");
    // As the Windows build writes them.
    EXPECT_EQ(unattendedBox(Box::warning("One\r\nTwo\n\rThree", Buttons::YesNo), Answer::No, "why", "\r\n"),
              "[Warning] One\r\nTwo\r\nThree\r\n[Warning] Answer: No (why)\r\n");
}

}  // namespace
}  // namespace talvorin::ui
