// The built program's text-mode windows on a pseudo-terminal, driven by keys as a person
// would, against the SQL Server test double and the kit-tool stand-ins; the screen (its
// cells and their attributes) read back after the keys.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "e2e/posix/terminal_fixture.h"
#include "platform/settings_files.h"

namespace talvorin::testing {
namespace {

using ::testing::HasSubstr;

constexpr const char* kRight = "\x1b[C";
constexpr const char* kWarning =
    "Mircosoft SQL Server information setting is not completed. This will lead to Velmora Deluxe "
    "installation error. Do you want to enter the information again?";

// Keeps a picture of the screen for the README's captures.
void keep(const VtTerminal& t, const std::string& name)
{
    std::filesystem::create_directories(TALVORIN_SCREENSHOTS);
    std::ofstream(std::string(TALVORIN_SCREENSHOTS) + "/" + name) << t.picture();
}

// The rows of the window whose frame carries the caption, inside its frame; none until the
// window is drawn whole: every row between its edges, down to its bottom corners (a screen
// comes in several writes, and other frames lie below it).
std::vector<std::string> windowRows(const VtTerminal& t, const std::string& caption)
{
    const auto [top, left] = t.find("┌ " + caption + " ");
    if (top == std::string::npos) return {};
    std::size_t right = left + 1;
    while (right < t.columns() && t.at(top, right).ch != "┐") ++right;
    if (right == t.columns()) return {};
    std::vector<std::string> out;
    for (std::size_t r = top + 1; r < t.rows(); ++r) {
        if (t.at(r, left).ch == "└" && t.at(r, right).ch == "┘") return out;
        if (t.at(r, left).ch != "│" || t.at(r, right).ch != "│") return {};
        std::string row;
        for (std::size_t c = left + 1; c < right; ++c) row += t.at(r, c).ch;
        out.push_back(row);
    }
    return {};
}

// The words of a box's text as it shows them (right of its icon), lines joined by blanks.
std::string boxWords(const VtTerminal& t, const std::string& caption)
{
    std::string words;
    for (const std::string& row : windowRows(t, caption)) {
        if (row.find("[  ") != std::string::npos) break;  // the buttons
        std::string text = row.size() > 5 ? row.substr(5) : std::string();
        text.erase(text.find_last_not_of(' ') + 1);
        if (!text.empty()) words += (words.empty() ? "" : " ") + text;
    }
    return words;
}

class TextWindows : public TerminalFixture {
protected:
    std::unique_ptr<TerminalRun> program;

    void dialog(unsigned short columns = 80, unsigned short rows = 24, const std::string& term = "xterm")
    {
        program = start(term, columns, rows, "0");
        ASSERT_TRUE(waitFor([&] {
            return program->terminal().shows("┌ Connection Status") &&
                   !windowRows(program->terminal(), "SQL Server Information").empty();
        })) << program->terminal().picture();
    }
    bool waitFor(const std::function<bool()>& condition) { return program->waitUntil(condition); }
    bool waitForScreen(const std::string& text)
    {
        return waitFor([&] { return program->terminal().shows(text); });
    }
    // Until the window with that caption is drawn whole.
    bool waitForWindow(const std::string& caption)
    {
        return waitFor([&] { return !windowRows(program->terminal(), caption).empty(); });
    }
    const VtTerminal& screen() const { return program->terminal(); }
};

TEST_F(TextWindows, MainWindowIsCentredAndFramedAndItsGaugeMovesWhileAToolRuns)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    kitData("pw", server.port());
    program = start("xterm", 80, 24, "1500");
    ASSERT_TRUE(waitForScreen("Creating Databases ......")) << program->output();

    ASSERT_TRUE(waitForWindow("Velmora Deluxe Setup")) << screen().picture();
    const auto [top, left] = screen().find("┌ Velmora Deluxe Setup ");
    ASSERT_NE(top, std::string::npos) << screen().picture();
    const auto rows = windowRows(screen(), "Velmora Deluxe Setup");
    ASSERT_EQ(rows.size(), 4u) << screen().picture();
    EXPECT_EQ(left, (80u - (rows[0].size() + 2)) / 2) << "centred";
    EXPECT_EQ(top, (23u - 6u) / 2);
    const auto gauge = [&] {
        const auto r = windowRows(screen(), "Velmora Deluxe Setup");
        return r.size() < 3 ? std::string() : r[2];
    };
    EXPECT_THAT(gauge(), ::testing::MatchesRegex(" +\\[#* *\\] *")) << screen().picture();
    const std::string before = gauge();
    ASSERT_TRUE(waitFor([&] { return gauge() != before && !gauge().empty(); })) << "the gauge moves with Timer1";
    keep(screen(), "main-window.txt");

    EXPECT_EQ(program->waitForExit(), 0);
    EXPECT_FALSE(screen().alternateScreen()) << "the terminal is given back";
    EXPECT_TRUE(screen().shows("Process completed successfully, application will be closed")) << screen().picture();
    EXPECT_TRUE(screen().shows("Setup log: " + kitDir + "system.log"));
}

TEST_F(TextWindows, DialogFilledInAndConfirmedTestsSavesAndTheRunGoesOn)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    dialog();
    // Three digits move on by themselves; Right at the end of an octet goes to the next.
    program->type("127");
    ASSERT_TRUE(waitFor([&] { return screen().cursorCol() > screen().find("127").second + 3; }));
    program->type(std::string("0") + kRight + "0" + kRight + "1\t" + std::to_string(server.port()) + "\t");
    ASSERT_TRUE(waitFor([&] { return screen().reversedText().find("sa") != std::string::npos; }))
        << "the login has the focus, its text selected: " << screen().picture();
    program->type("\tpw");
    ASSERT_TRUE(waitForScreen("127.  0.  0.  1")) << screen().picture();
    keep(screen(), "sql-server-information.txt");

    program->type("\r");
    ASSERT_TRUE(waitForWindow("Confirm")) << screen().picture();
    EXPECT_EQ(boxWords(screen(), "Confirm"),
              "If you have not installed SQL Server on the machine with IP Address - [127.0.0.1], you should "
              "quit this setup and install SQL Server first. Are you sure to proceed?");
    keep(screen(), "confirm-box.txt");
    program->type("\r");
    EXPECT_EQ(program->waitForExit(), 0) << program->output();

    const std::string& out = program->output();
    const auto connecting = out.find("Connecting"), success = out.find("Success");
    ASSERT_NE(connecting, std::string::npos);
    ASSERT_NE(success, std::string::npos);
    EXPECT_LT(connecting, success) << "drawn before the connection test was through";
    EXPECT_EQ(setupdata::ScrambleText(
                  platform::systemSettingsFiles().readString(kitDir + "Orvo4.dat", "DB", "IP address", "")),
              "127.0.0.1");
    EXPECT_EQ(
        setupdata::ScrambleText(platform::systemSettingsFiles().readString(kitDir + "Orvo4.dat", "DB", "Password", "")),
        "pw");
    EXPECT_EQ(runLines().back(), "Process completed successfully, application will be closed");
}

TEST_F(TextWindows, CancelBringsTheWarningWhoseEnterIsYesAndEscapeIsNo)
{
    dialog();
    program->type("\x1b");
    ASSERT_TRUE(waitForWindow("Warning")) << screen().picture();
    EXPECT_EQ(boxWords(screen(), "Warning"), kWarning) << "wrapped at word boundaries: " << screen().picture();
    for (const auto& row : windowRows(screen(), "Warning")) EXPECT_LE(row.size(), 70u);
    EXPECT_EQ(screen().reversedText(), "[  Yes   ]") << "Yes has the focus";
    keep(screen(), "warning-box.txt");

    program->type("\r");
    ASSERT_TRUE(waitFor([&] { return !screen().shows("┌ Warning ") && screen().shows("┌ Connection Status"); }))
        << "Yes shows the dialog again";
    program->type("\x1b");
    ASSERT_TRUE(waitForWindow("Warning"));
    program->type("\x1b");
    EXPECT_EQ(program->waitForExit(), 0);
    const auto lines = runLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Get SQL Server Info"), 1);
    EXPECT_THAT(readFile(kitDir + "system.log"), ::testing::Not(HasSubstr("SQL Server connection")));
    EXPECT_FALSE(std::filesystem::exists(kitDir + "Orvo4.dat"));
}

TEST_F(TextWindows, FailedChecksShowTheirBoxAndPutTheFocusBack)
{
    struct Case {
        const char* keys;
        const char* caption;
        const char* text;
        const char* focusedText;  // what the focus shows once the box is closed
    };
    const Case cases[] = {
        {"300", "Error", "300 is not a valid entry. Please specify a value between 0 and 255 for this field.", "300"},
        {"1\t0\t", "Warning", "0 is not a valid entry. Please specify a value between 1 and 65535 for this field.",
         "0"},
        {"\t\t", "Error", "Invalid input for port number!", ""},
        {"\r", "Error", "Invalid IP Address! Please re-enter.", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        dialog();
        program->type(c.keys);
        ASSERT_TRUE(waitForWindow(c.caption)) << screen().picture();
        EXPECT_EQ(boxWords(screen(), c.caption), c.text);
        program->type("\r");
        const auto focus = [&] {
            std::string f = screen().reversedText();
            f.erase(f.find_last_not_of(' ') + 1);
            return f.erase(0, std::min(f.size(), f.find_first_not_of(' ')));
        };
        // The screen is drawn in more than one piece: what counts is where it comes to rest.
        EXPECT_TRUE(waitFor([&] {
            return !screen().shows(std::string("┌ ") + c.caption + " ") && focus() == c.focusedText;
        })) << focus()
            << "\n"
            << screen().picture();
        program->type("\x1b");
        ASSERT_TRUE(waitForWindow("Warning"));
        program->type("\x1b");
        EXPECT_EQ(program->waitForExit(), 0);
        std::filesystem::remove(kitDir + "system.log");
    }
}

TEST_F(TextWindows, WithoutColoursFieldsAreUnderlinedTheLockedOneIsNotAndTheFocusIsReversed)
{
    dialog(80, 24, "vt100");
    const auto [browseRow, browseCol] = screen().find("Browse");
    const auto [portRow, portCol] = screen().find("Port Number:");
    ASSERT_NE(portRow, std::string::npos) << screen().picture();
    EXPECT_TRUE(screen().at(portRow + 1, portCol + 2).underline) << "the port field";
    EXPECT_FALSE(screen().at(browseRow, browseCol + 10).underline) << "the locked path field";
    EXPECT_TRUE(waitFor([&] { return screen().at(screen().cursorRow(), screen().cursorCol()).reverse; }))
        << "the focus, in octet 1";
    program->type("\x1b\x1b");
}

TEST_F(TextWindows, TooSmallATerminalKeepsToLinesAndAResizeShowsANotice)
{
    program = start("xterm", 60, 24, "0");
    ASSERT_TRUE(program->waitForText("IP address, part 1 []:")) << "the line mode: " << program->output();
    program->type("\x1b\x1b");
    EXPECT_EQ(program->waitForExit(), 0);

    dialog();
    program->resize(50, 12);
    ASSERT_TRUE(waitForScreen("Terminal too small")) << screen().picture();
    program->resize(80, 24);
    ASSERT_TRUE(waitForScreen("┌ Connection Status")) << screen().picture();
    program->type("\x1b");
    ASSERT_TRUE(waitForWindow("Warning"));
    program->type("\x1b");
    EXPECT_EQ(program->waitForExit(), 0);
}

}  // namespace
}  // namespace talvorin::testing
