#include "step_fixture.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;

class CodeTables : public StepFixture {
protected:
    void SetUp() override
    {
        StepFixture::SetUp();
        setupFile("[CODE_TABLE]\r\n1=DB..FIRST in first.txt\r\n[CODE_TABLE_UPGRADE_REPAIR]\r\n1=DB..REPAIR in r.txt\r\n"
                  "[CODE_TABLE_MIGRATE]\r\n1=DB..MIGRATE in m.txt\r\n");
    }
    void legacy(const std::string& path, std::optional<std::string> version)
    {
        auto& key = registry.keys["\\SOFTWARE\\QUORVANTA\\ORVO"];
        key["ServerPath"] = path;
        if (version) key["VERSION"] = *version;
    }
    std::string tableLoaded(int installType)
    {
        log.lines.clear();
        std::filesystem::remove(journal);
        auto ctx = context(installType);
        EXPECT_TRUE(dbwork::LoadCodeTables(ctx, in));
        const auto r = runs();
        return r.empty() ? "" : r[0].args[0];
    }
};

TEST_F(CodeTables, ArgumentsWorkingFolderAndErrorFile)
{
    installTool("bcp.exe");
    auto ctx = context();
    EXPECT_TRUE(dbwork::LoadCodeTables(ctx, in));
    const auto r = runs();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].program, "bcp.exe");
    EXPECT_THAT(r[0].args, ElementsAre("DB..FIRST", "in", "first.txt", "-m", "0", "-t\\@\\t", "-r\\@\\r\\n", "-q", "-w",
                                       "-S", "10.0.0.1,1433", "-U", "sa", "-P", "p w", "-e", "bcp.log"));
    EXPECT_EQ(r[0].workingDirectory + platform::kDirSeparator, kitDir);
    EXPECT_TRUE(std::filesystem::exists(kitDir + "bcp.log"));
    EXPECT_THAT(log.lines, ElementsAre("Loading code table DB..FIRST in first.txt completed successfully"));
    EXPECT_EQ(label.caption(), "Loading code tables ...");
}

TEST_F(CodeTables, SectionFollowsInstallTypeAndLegacyRelease)
{
    installTool("bcp.exe");
    EXPECT_EQ(tableLoaded(dbwork::kFirstInstallation), "DB..FIRST");
    EXPECT_EQ(tableLoaded(dbwork::kUpgrade), "DB..REPAIR");
    for (const char* v : {"1.6", "1.7", "2.0"}) {
        legacy("C:\\Old", v);
        EXPECT_EQ(tableLoaded(dbwork::kFirstInstallation), "DB..MIGRATE") << v;
        EXPECT_EQ(tableLoaded(dbwork::kUpgrade), "DB..MIGRATE") << v;
        EXPECT_TRUE(log.lines.size() == 1) << "nothing logged about an allowed version";
    }
    legacy("", "1.7");  // the key without a server path is no installed release
    EXPECT_EQ(tableLoaded(dbwork::kUpgrade), "DB..REPAIR");
}

TEST_F(CodeTables, OlderReleasesAreNotMigrated)
{
    installTool("bcp.exe");
    // The line names the release as the registry has it, although it is compared in upper case.
    for (const char* v : {"1.5", "1.10", "1.5b"}) {
        legacy("C:\\Old", v);
        EXPECT_EQ(tableLoaded(dbwork::kUpgrade), "DB..REPAIR") << v;
        EXPECT_THAT(std::vector<std::string>(log.lines.begin(), log.lines.begin() + 2),
                    ElementsAre("Orvo " + std::string(v) + " was detected. Which was NOT allowed to migrate.",
                                "Reset migration flag to false and skip data migration process."));
    }
    registry.keys.clear();
    legacy("C:\\Old", std::nullopt);
    EXPECT_EQ(tableLoaded(dbwork::kFirstInstallation), "DB..FIRST");
    EXPECT_EQ(log.lines[0], "Orvo  was detected. Which was NOT allowed to migrate.");
}

TEST_F(CodeTables, FailedTableDoesNotStopTheOthers)
{
    installTool("bcp.exe");
    setupFile("[CODE_TABLE]\r\n1=T1\r\n2=T2\r\n3=T3\r\n");
    exitCodes("T2=1");
    auto ctx = context();
    EXPECT_FALSE(dbwork::LoadCodeTables(ctx, in));
    EXPECT_THAT(log.lines, ElementsAre("Loading code table T1 completed successfully", "Error loading code table T2",
                                       "Loading code table T3 completed successfully"));
    int resets = 0;
    for (const auto& p : ui.progress) resets += p.position == 0;
    EXPECT_EQ(resets, 3) << "the bar starts from 0 for every table";
}

TEST_F(CodeTables, MissingBcpFailsEveryTable)
{
    setupFile("[CODE_TABLE]\r\n1=T1\r\n2=T2\r\n");
    auto ctx = context();
    EXPECT_FALSE(dbwork::LoadCodeTables(ctx, in));
    EXPECT_THAT(log.lines, ElementsAre("Error loading code table T1", cannotStart("bcp.exe"),
                                       "Error loading code table T2", cannotStart("bcp.exe")));
}

TEST_F(CodeTables, EmptySectionLoadsNothing)
{
    setupFile("[CODE_TABLE]\r\n");
    auto ctx = context();
    EXPECT_TRUE(dbwork::LoadCodeTables(ctx, in));
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(label.caption(), "Preparing to load code tables ...");
}

}  // namespace
}  // namespace talvorin::testing
