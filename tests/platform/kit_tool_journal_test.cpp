#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "support/kit_tool_journal.h"

namespace {

namespace fs = std::filesystem;

class KitToolJournalTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }

    void write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }

    const std::string path_ = (fs::temp_directory_path() /
                               ("kit-tool-journal-" +
                                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                                  .string();
};

TEST_F(KitToolJournalTest, RecordsSurviveAnyBytesInTheirValues)
{
    KitToolRun first;
    first.program = "bcp.exe";
    first.args = {"",    "a b",   "\"q\"",    "back\\slash\\", "line\nbreak\r\n", std::string("nul\0byte", 8),
                  "run", "end\n", "arg 3:abc"};
    first.workingDirectory = "/tmp/with blank\nand line";
    first.pid = 4242;
    first.openFiles = {"0=/dev/null"};
    first.commandLine = "\"C:\\kit\\bcp.exe\" \"a b\" \n\"\"";
    KitToolRun second;
    second.program = "osql.exe";
    write(formatKitToolRun(first) + formatKitToolRun(second));

    const auto runs = readKitToolJournal(path_);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].program, first.program);
    EXPECT_EQ(runs[0].args, first.args);
    EXPECT_EQ(runs[0].workingDirectory, first.workingDirectory);
    EXPECT_EQ(runs[0].pid, 4242);
    EXPECT_EQ(runs[0].openFiles, first.openFiles);
    EXPECT_EQ(runs[0].commandLine, first.commandLine);
    EXPECT_EQ(runs[1].program, "osql.exe");
    EXPECT_TRUE(runs[1].args.empty());
    EXPECT_FALSE(runs[1].commandLine.has_value());
}

TEST_F(KitToolJournalTest, MissingJournalHasNoRuns) { EXPECT_TRUE(readKitToolJournal(path_).empty()); }

TEST_F(KitToolJournalTest, DamagedJournalIsReportedNotMisread)
{
    KitToolRun run;
    run.program = "osql.exe";
    run.args = {"-i", "x.sql"};
    const std::string record = formatKitToolRun(run);

    for (const std::size_t cut : {record.size() - 1, record.size() - 5, record.size() / 2, std::size_t{2}}) {
        write(record.substr(0, cut));
        EXPECT_THROW(readKitToolJournal(path_), std::runtime_error) << "cut at " << cut;
    }
    write("run\nprogram 99:osql.exe\nend\n");
    EXPECT_THROW(readKitToolJournal(path_), std::runtime_error);
    write("run\ncolour 3:red\nend\n");
    EXPECT_THROW(readKitToolJournal(path_), std::runtime_error);
    write("run\npid 2:x1\nend\n");
    EXPECT_THROW(readKitToolJournal(path_), std::runtime_error);
}

}  // namespace
