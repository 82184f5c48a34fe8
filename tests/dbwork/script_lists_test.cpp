#include "step_fixture.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;

const std::vector<std::string> kJobLines = {"Delete previous archive schedule: Success",
                                            "Delete previous backup schedule: Success",
                                            "Delete previous backup TXLog schedule: Success"};

class ScriptLists : public StepFixture {};

TEST_F(ScriptLists, EntriesRunInFileOrderWithTheExactArguments)
{
    installTool("osql.exe");
    placeScripts({"b.sql", "a b.sql"});
    setupFile("[SCRIPT_2005]\r\n2=b.sql\r\n1=a b.sql\r\n");
    auto ctx = context();
    EXPECT_TRUE(dbwork::CreateDatabases(ctx, in));
    const auto r = runs();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].program, "osql.exe");
    EXPECT_THAT(r[0].args, ElementsAre("-S", "10.0.0.1,1433", "-U", "sa", "-P", "p w", "-i", scriptsPath + "b.sql"));
    EXPECT_EQ(r[1].args.back(), scriptsPath + "a b.sql") << "the quoted path stays one argument";
    EXPECT_EQ(r[0].workingDirectory, std::filesystem::current_path().string());
    std::vector<std::string> expected{"Start creating database"};
    expected.insert(expected.end(), kJobLines.begin(), kJobLines.end());
    expected.insert(expected.end(), {"Execute b.sql successfully", "Execute a b.sql successfully"});
    EXPECT_EQ(log.lines, expected);
    EXPECT_EQ(label.caption(), "Creating databases and tables ......");
}

// As the kit tool's own C runtime splits its command line.
TEST_F(ScriptLists, APasswordReachesTheToolAsTyped)
{
    installTool("osql.exe");
    placeScripts({"a.sql"});
    setupFile("[SCRIPT_2005]\r\n1=a.sql\r\n");
    const std::vector<std::string> passwords = {"a\"b", "a b\\", "\\\"", "", "\t\"\"", "p\\w"};
    for (const std::string& password : passwords) {
        in.password = password;
        auto ctx = context();
        EXPECT_TRUE(dbwork::CreateDatabases(ctx, in));
    }
    const auto r = runs();
    ASSERT_EQ(r.size(), passwords.size());
    for (std::size_t i = 0; i < r.size(); ++i)
        EXPECT_THAT(r[i].args,
                    ElementsAre("-S", "10.0.0.1,1433", "-U", "sa", "-P", passwords[i], "-i", scriptsPath + "a.sql"));
}

// As Windows reads them: without the dots and blanks that end a name.
TEST_F(ScriptLists, NamesEndingInDotsOrBlanksAreTheNamesWithoutThem)
{
    installTool("osql.exe");
    placeScripts({"one.sql"});
    setupFile("[SCRIPT_2005]\r\n1=one.sql.\r\n2=one.sql. .\r\n");
    in.setupFile += ". ";
    auto ctx = context();
    EXPECT_TRUE(dbwork::CreateDatabases(ctx, in));
    EXPECT_EQ(runs().size(), 2u);
}

TEST_F(ScriptLists, FailureStopsItsListButTheOtherListRuns)
{
    installTool("osql.exe");
    placeScripts({"1.sql", "2.sql", "3.sql", "x.sql", "y.sql"});
    setupFile("[SCRIPT_2005]\r\na=1.sql\r\nb=2.sql\r\nc=3.sql\r\n[SCRIPT_2008_ADDITIONAL]\r\na=x.sql\r\nb=y.sql\r\n");
    exitCodes("2.sql=1;x.sql=7");
    auto ctx = context();
    EXPECT_FALSE(dbwork::CreateDatabases(ctx, in));
    EXPECT_THAT(scriptsRun(), ElementsAre("1.sql", "2.sql", "x.sql"));
    EXPECT_THAT(std::vector<std::string>(log.lines.begin() + 4, log.lines.end()),
                ElementsAre("Execute 1.sql successfully", "Error creating database.[sqlcmd failed] 2.sql",
                            "Error creating database.[sqlcmd failed] x.sql"));
}

TEST_F(ScriptLists, MissingOsqlOrScriptIsLoggedAndSkipped)
{
    placeScripts({"a.sql"});
    setupFile("[UPD_2005]\r\n1=a.sql\r\n2=\r\n3=x=y.sql\r\n[UPD_2008_ADDITIONAL]\r\n1=b.sql\r\n");
    auto ctx = context();
    EXPECT_TRUE(dbwork::ModifyTableStructures(ctx, in)) << "missing files fail nothing";
    EXPECT_THAT(log.lines, ElementsAre("Start modify table structures.",
                                       "Script file " + scriptsPath + "a.sql or osql.exe not found",
                                       "Script file " + scriptsPath + " or osql.exe not found",
                                       "Script file " + scriptsPath + "x=y.sql or osql.exe not found",
                                       "Script file " + scriptsPath + "b.sql or osql.exe not found"));
    EXPECT_TRUE(runs().empty());

    log.lines.clear();
    installTool("osql.exe");
    EXPECT_TRUE(dbwork::ModifyTableStructures(ctx, in));
    EXPECT_THAT(scriptsRun(), ElementsAre("a.sql"));
    EXPECT_EQ(log.lines[1], "Execute a.sql successfully");
    EXPECT_EQ(label.caption(), "Modifying table structures ......");
}

TEST_F(ScriptLists, ScriptNamesResolveAsOnWindows)
{
    installTool("osql.exe");
    placeScripts({"Sub/Create.SQL"});
    setupFile("[UPD_2005]\r\n1=sub\\create.sql\r\n");
    auto ctx = context();
    EXPECT_TRUE(dbwork::ModifyTableStructures(ctx, in));
    ASSERT_EQ(runs().size(), 1u);
    EXPECT_EQ(runs()[0].args.back(), scriptsPath + "sub\\create.sql") << "the name is passed on as written";
}

TEST_F(ScriptLists, ToolThatCannotStartFailsTheList)
{
    writeFile(kitDir + "osql.exe", "not a program");  // exists, cannot be started
    placeScripts({"a.sql", "b.sql"});
    setupFile("[UPD_2005]\r\n1=a.sql\r\n2=b.sql\r\n");
    auto ctx = context();
    EXPECT_FALSE(dbwork::ModifyTableStructures(ctx, in));
    EXPECT_THAT(log.lines, ElementsAre("Start modify table structures.",
                                       "Error modify table structure.[sqlcmd failed] a.sql", cannotStart("osql.exe")));
}

TEST_F(ScriptLists, JobDeletionFailuresAreLoggedAndChangeNothing)
{
    sql.jobErrors["ORVO_Schedule_Archive"] = "The specified @job_name ('ORVO_Schedule_Archive') does not exist.";
    auto ctx = context();
    EXPECT_TRUE(dbwork::CreateDatabases(ctx, in)) << "no setup file: nothing runs, nothing fails";
    EXPECT_THAT(log.lines, ElementsAre("Start creating database",
                                       "Delete previous archive schedule: Fail, error: The specified @job_name "
                                       "('ORVO_Schedule_Archive') does not exist.",
                                       "Delete previous backup schedule: Success",
                                       "Delete previous backup TXLog schedule: Success"));
    EXPECT_EQ(sql.deletedJobs.size(), 3u);
}

}  // namespace
}  // namespace talvorin::testing
