// The setup log when the program is killed at any moment, when the disk fills, and when the
// log is read-only, a folder or a link: no earlier line changes, no line is left cut.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <cstdio>
#include <iostream>
#include <memory>
#include <random>
#include <thread>

#include "sandbox.h"
#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

using ::testing::HasSubstr;

const char* const kJobs[] = {"ORVO_Schedule_Archive", "ORVO_Schedule_Full_Backup", "ORVO_Daily_Tx_Log_Backup"};

struct KillTally {
    int kills = 0, endedFirst = 0, earlierTextChanged = 0, cutLines = 0;
    std::string firstProblem;
};

long microsecondsSince(std::chrono::steady_clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
}

// One sandbox killed `kills` times; every moment of the run is as likely as any other,
// except the second the program waits for its start timer, when it writes nothing.
void killRepeatedly(const Sandbox& box, int kills, unsigned seed, KillTally& tally)
{
    const auto start = std::chrono::steady_clock::now();
    const ProgramResult whole = box.run();
    long fullRun = microsecondsSince(start);
    if (whole.exitCode != 0 || !onlyWholeLogLines(readFile(box.logPath()))) {
        tally.firstProblem = "a run that was not killed went wrong";
        return;
    }
    std::mt19937 random(seed);
    const long quietStart = 50'000;
    for (int attempt = 0; tally.kills < kills && attempt < 5 * kills; ++attempt) {
        const std::string before = readFile(box.logPath());
        const long quietEnd = std::min(950'000L, fullRun);
        long at = std::uniform_int_distribution<long>(0,
                                                      std::max(0L, fullRun * 9 / 10 - (quietEnd - quietStart)))(random);
        if (at >= quietStart) at += quietEnd - quietStart;
        RunOptions options;
        options.killAfterMicroseconds = at;
        const auto runStart = std::chrono::steady_clock::now();
        const ProgramResult result = box.run(options);
        if (result.exitCode == 128 + SIGKILL) {
            ++tally.kills;
        } else if (result.exitCode == 0) {
            // The machine got quicker than when the whole run was timed: later moments
            // would find the run over, so they are taken from this shorter run.
            ++tally.endedFirst;
            fullRun = std::min(fullRun, microsecondsSince(runStart));
        } else if (tally.firstProblem.empty()) {
            tally.firstProblem = "a run killed at " + std::to_string(at) + " us ended with " +
                                 std::to_string(result.exitCode);
        }
        const std::string after = readFile(box.logPath());
        std::string bad;
        if (after.compare(0, before.size(), before) != 0) {
            ++tally.earlierTextChanged;
            if (tally.firstProblem.empty())
                tally.firstProblem = "earlier text changed after a kill at " + std::to_string(at) + " us";
        } else if (!onlyWholeLogLines(after.substr(before.size()), &bad)) {
            ++tally.cutLines;
            if (tally.firstProblem.empty())
                tally.firstProblem = "line [" + bad + "] after a kill at " + std::to_string(at) + " us";
            writeFile(box.logPath(), before);  // so that later kills are judged on their own
        }
    }
}

TEST(LogSurvival, TwoHundredKillsAtRandomMomentsChangeNoEarlierLineAndCutNone)
{
    // Several sandboxes at once: a run spends most of its time waiting, not computing.
    constexpr int kSandboxes = 5, kKillsEach = 40;
    // One that FreeTDS cannot read from a connection string: the connects go through a
    // private data source, whose folder a kill during the connect leaves behind.
    const std::string kPassword = "Se}cr;et1";
    std::vector<std::unique_ptr<SqlDouble>> servers;
    std::vector<std::unique_ptr<Sandbox>> boxes;
    for (int i = 0; i < kSandboxes; ++i) {
        servers.push_back(std::make_unique<SqlDouble>(
            SqlDoubleOptions().account("sa", kPassword).job(kJobs[0]).job(kJobs[1]).job(kJobs[2])));
        boxes.push_back(std::make_unique<Sandbox>());
        boxes.back()->kitData("sa", kPassword, SqlDouble::address(), std::to_string(servers.back()->port()));
        boxes.back()->extraEnv["KIT_TOOL_SLEEP_MS"] = "3";
    }
    std::vector<KillTally> tallies(kSandboxes);
    std::vector<std::thread> threads;
    const unsigned seed = std::random_device{}();
    for (int i = 0; i < kSandboxes; ++i)
        threads.emplace_back(killRepeatedly, std::cref(*boxes[i]), kKillsEach, seed + i, std::ref(tallies[i]));
    for (auto& t : threads) t.join();

    KillTally total;
    for (const KillTally& t : tallies) {
        total.kills += t.kills;
        total.endedFirst += t.endedFirst;
        total.earlierTextChanged += t.earlierTextChanged;
        total.cutLines += t.cutLines;
        if (total.firstProblem.empty()) total.firstProblem = t.firstProblem;
    }
    std::cout << "kills " << total.kills << " (runs that ended first " << total.endedFirst << "), earlier text changed "
              << total.earlierTextChanged << ", cut lines " << total.cutLines << ", seed " << seed << "\n";
    EXPECT_GE(total.kills, kSandboxes * kKillsEach) << total.firstProblem;
    EXPECT_EQ(total.earlierTextChanged, 0) << total.firstProblem;
    EXPECT_EQ(total.cutLines, 0) << total.firstProblem;

    // A run killed during its connect leaves its data-source folder; the next connect
    // removes it.
    for (const auto& box : boxes) {
        EXPECT_EQ(box->run().exitCode, 0);
        EXPECT_EQ(box->dataSourceFolders(), 0u);
        EXPECT_TRUE(onlyWholeLogLines(readFile(box->logPath())));
    }
}

// A small tmpfs of its own, unmounted when it goes.
class SmallTmpfs {
public:
    explicit SmallTmpfs(const std::string& where) : where_(where)
    {
        std::filesystem::create_directories(where);
        mounted_ = ::mount("tmpfs", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0755") == 0;
        error_ = errno;
    }
    ~SmallTmpfs()
    {
        if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;
    bool mounted() const { return mounted_; }
    std::string error() const { return std::strerror(error_); }

private:
    std::string where_;
    bool mounted_ = false;
    int error_ = 0;
};

TEST(LogSurvival, ADiskThatFillsDuringTheRunLeavesOnlyWholeLines)
{
    Sandbox box;
    const std::string windows = box.dir / "full/WINDOWS";
    SmallTmpfs disk(box.dir / "full");
    if (!disk.mounted())
        GTEST_SKIP() << "a tmpfs cannot be mounted here (" << disk.error()
                     << "; it needs root and CAP_SYS_ADMIN): the full-disk test is skipped";
    SqlDouble server(SqlDoubleOptions().account("sa", "Secret1").job(kJobs[0]));
    box.winDir = windows;
    box.kitDir = windows + "/MigKit4/";
    std::filesystem::create_directories(box.kitDir);
    box.installTools();
    box.kitData("sa", "Secret1", SqlDouble::address(), std::to_string(server.port()));
    // Whole lines filling most of a page, and no page free after it: the run fills the rest.
    std::string earlier;
    while (earlier.size() < 3000) earlier += "EARLIER 2026-01-01 00:00:00 an earlier run's line\r\n";
    writeFile(box.logPath(), earlier);
    {
        std::ofstream filler(box.dir / "full/filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), block.size())) {}
    }

    const ProgramResult result = box.run();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.standardError, HasSubstr("No space left on device"));
    const std::string after = readFile(box.logPath());
    EXPECT_EQ(after.compare(0, earlier.size(), earlier), 0) << "an earlier line changed";
    std::string bad;
    EXPECT_TRUE(onlyWholeLogLines(after, &bad)) << "[" << bad << "]";
    EXPECT_GT(after.size(), earlier.size()) << "the disk filled before the run wrote anything";
}

}  // namespace
}  // namespace talvorin::testing
