// The dialog on a terminal, with a scripted console.
#include <deque>

#include "sqlinfo/posix/terminal_sql_info.h"
#include "sqlinfo/sqlinfo_fixture.h"

namespace talvorin::sqlinfo::testing {
namespace {

// What the user types at one prompt and the key that ends it.
struct Typed {
    Typed(const char* t) : text(t) {}
    Typed(std::string t, ui::LineEnd e = ui::LineEnd::Enter) : text(std::move(t)), end(e) {}
    Typed(std::nullopt_t) : end(ui::LineEnd::Cancel) {}  // Esc
    std::string text;
    ui::LineEnd end = ui::LineEnd::Enter;
};

class ScriptConsole : public ui::LineConsole {
public:
    // The lines the user types. When they run out, input has ended.
    std::deque<Typed> lines;
    std::string output;
    std::vector<std::pair<std::string, bool>> prompts;  // the prompt and whether it was hidden

    void write(const std::string& text) override { output += text; }
    ui::LineEnd readLine(std::string& line, bool secret) override
    {
        const std::size_t lastLine = output.rfind('\n');
        prompts.emplace_back(lastLine == std::string::npos ? output : output.substr(lastLine + 1), secret);
        // The terminal ends every answer with a line break.
        output += '\n';
        if (lines.empty()) return ui::LineEnd::Cancel;
        const Typed next = lines.front();
        lines.pop_front();
        line = next.text;
        return next.end;
    }
    int promptsStartingWith(const std::string& text) const
    {
        int n = 0;
        for (const auto& p : prompts) n += p.first.rfind(text, 0) == 0;
        return n;
    }
};

class TerminalTest : public DialogTest {
protected:
    ui::ModalResult converse() { return TerminalSqlInfo::converse(dialog(), console); }
    ScriptConsole console;
};

TEST_F(TerminalTest, EscapeCancelsWithoutSavingAnything)
{
    console.lines = {std::nullopt};
    EXPECT_EQ(converse(), ui::ModalResult::Cancel);
    EXPECT_TRUE(sql.connects.empty());
    EXPECT_FALSE(std::filesystem::exists(kitFile()));
}

TEST_F(TerminalTest, EndOfInputCancels)
{
    console.lines = {"10"};
    EXPECT_EQ(converse(), ui::ModalResult::Cancel);
}

TEST_F(TerminalTest, EnteredSettingsAreTestedAndSaved)
{
    console.lines = {"192", "168", "1", "20", "1433", "", "pw", ""};
    backend.answers.push_back(ui::Answer::Yes);
    EXPECT_EQ(converse(), ui::ModalResult::Ok);

    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "IP address"), "192.168.1.20");
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "Port"), "1433");
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "User"), "sa");
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "Password"), "pw");
    EXPECT_EQ(console.promptsStartingWith("Application path"), 0) << "locked fields are not asked";
    ASSERT_EQ(console.prompts.size(), 8u);
    EXPECT_EQ(console.prompts[0].first, "IP address, part 1 []: ");
    EXPECT_EQ(console.prompts[5].first, "Login [sa]: ");
    EXPECT_EQ(console.prompts[6].first, "Password []: ");
    EXPECT_TRUE(console.prompts[6].second) << "the password is typed hidden";
    EXPECT_FALSE(console.prompts[4].second);
}

TEST_F(TerminalTest, EnterKeepsTheValuesShown)
{
    writeKitScrambled("IP address", "10.1.2.3");
    writeKitScrambled("Port", "1500");
    writeKitScrambled("User", "admin");
    writeKitScrambled("Password", "pw");
    console.lines = {"", "", "", "", "", "", "", ""};
    backend.answers.push_back(ui::Answer::Yes);
    EXPECT_EQ(converse(), ui::ModalResult::Ok);
    EXPECT_EQ(console.prompts[0].first, "IP address, part 1 [10]: ");
    EXPECT_EQ(console.prompts[6].first, "Password [**]: ");
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "User"), "admin");
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "Password"), "pw");
    EXPECT_EQ(sql.connects.at(0).dataSource, "10.1.2.3,1500");
}

TEST_F(TerminalTest, AFieldWhoseCheckFailsIsAskedAgain)
{
    console.lines = {"300", "30", "168", "1", "20", "0", "1433", "", "pw", std::nullopt};
    EXPECT_EQ(converse(), ui::ModalResult::Cancel);
    ASSERT_EQ(backend.boxes.size(), 2u);
    EXPECT_EQ(backend.boxes[0].box.text.rfind("300 is not a valid entry.", 0), 0u);
    EXPECT_EQ(backend.boxes[1].box.text.rfind("0 is not a valid entry.", 0), 0u);
    EXPECT_EQ(backend.boxes[1].box.caption, "Warning");
    EXPECT_EQ(console.promptsStartingWith("IP address, part 1"), 2);
    EXPECT_EQ(console.promptsStartingWith("Port number"), 2);
    EXPECT_EQ(dialog().edtSQLIP1.text(), "30");
    EXPECT_EQ(dialog().edtIPPortNo.text(), "1433");
}

TEST_F(TerminalTest, AQuestionMarkShowsTheFieldsHelp)
{
    console.lines = {"?", std::nullopt};
    EXPECT_EQ(converse(), ui::ModalResult::Cancel);
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].box.caption, "Information");
    EXPECT_EQ(backend.boxes[0].box.text.rfind("This database server must have a fixed IP Address.", 0), 0u);
    EXPECT_EQ(console.promptsStartingWith("IP address, part 1"), 2);
}

TEST_F(TerminalTest, AFailedTestAsksAgainUntilCancelled)
{
    sql.connectErrorByCatalog[""] = "Login failed for user 'sa'";
    console.lines = {"10", "1", "2", "3", "1433", "", "bad", "", std::nullopt};
    backend.answers.push_back(ui::Answer::Yes);
    EXPECT_EQ(converse(), ui::ModalResult::Cancel);
    ASSERT_EQ(backend.boxes.size(), 2u);
    EXPECT_EQ(backend.boxes[1].box.text.rfind("Microsoft SQL Server connection failed. ", 0), 0u);
    EXPECT_NE(console.output.find("Connection status: Failed (0%)"), std::string::npos);
    EXPECT_EQ(console.promptsStartingWith("IP address, part 1"), 2);
    EXPECT_FALSE(std::filesystem::exists(kitFile()));
}

TEST_F(TerminalTest, TabGoesOnAndShiftTabGoesBack)
{
    using ui::LineEnd;
    console.lines = {
        "10",  "1", {"2", LineEnd::Tab}, {"", LineEnd::BackTab}, "7", "3", "1433", "", "pw", {"", LineEnd::BackTab},
        "pw2", ""};
    backend.answers.push_back(ui::Answer::Yes);
    EXPECT_EQ(converse(), ui::ModalResult::Ok);
    EXPECT_EQ(console.promptsStartingWith("IP address, part 3"), 2) << "Shift+Tab in part 4 goes back to part 3";
    EXPECT_EQ(console.promptsStartingWith("Password"), 2) << "Shift+Tab at the last question goes back to the password";
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "IP address"), "10.1.7.3");
    EXPECT_EQ(setupdata::readScrambled(settings, kitFile(), "Password"), "pw2");

    // Tab at the last question goes round to the first field; Shift+Tab there stays.
    console.lines = {"", "", "", "", "", "", "", {"", LineEnd::Tab}, {"", LineEnd::BackTab}, std::nullopt};
    console.prompts.clear();
    EXPECT_EQ(converse(), ui::ModalResult::Cancel);
    EXPECT_EQ(console.promptsStartingWith("IP address, part 1"), 3);
    EXPECT_EQ(backend.boxes.size(), 1u) << "only the first conversation's confirmation";
}

TEST_F(TerminalTest, LockedFieldsAreShownButNotAsked)
{
    setLocalSqlPort("1433");
    host.result = {0, {{10, 0, 0, 7}}};
    console.lines = {std::nullopt};
    converse();
    EXPECT_NE(console.output.find("Login:            sa  (locked)"), std::string::npos) << console.output;
    EXPECT_NE(console.output.find("IP address:       10.0.0.7\n"), std::string::npos) << console.output;
    EXPECT_EQ(console.prompts.at(0).first, "IP address, part 1 [10]: ");

    console.lines = {"", "", "", "", "", ""};
    console.prompts.clear();
    backend.answers.push_back(ui::Answer::Yes);
    EXPECT_EQ(converse(), ui::ModalResult::Ok);
    EXPECT_EQ(console.promptsStartingWith("Login"), 0);
    EXPECT_EQ(console.promptsStartingWith("Password"), 0);
}

}  // namespace
}  // namespace talvorin::sqlinfo::testing
