// The setup log when the program is killed at any moment, when the disk fills, and when the
// log is read-only, a folder or a link: no earlier line changes, no line is left cut.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
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
    const long fullRun = microsecondsSince(start);
    if (whole.exitCode != 0 || !onlyWholeLogLines(readFile(box.logPath()))) {
        tally.firstProblem = "a run that was not killed went wrong";
        return;
    }
    std::mt19937 random(seed);
    const long quietStart = 50'000, quietEnd = std::min(950'000L, fullRun);
    std::uniform_int_distribution<long> moment(0, fullRun * 9 / 10 - (quietEnd - quietStart));
    for (int attempt = 0; tally.kills < kills && attempt < 3 * kills; ++attempt) {
        const std::string before = readFile(box.logPath());
        long at = moment(random);
        if (at >= quietStart) at += quietEnd - quietStart;
        RunOptions options;
        options.killAfterMicroseconds = at;
        const ProgramResult result = box.run(options);
        if (result.exitCode == 128 + SIGKILL) ++tally.kills;
        else if (result.exitCode == 0) ++tally.endedFirst;
        const std::string after = readFile(box.logPath());
        std::string bad;
        if (after.compare(0, before.size(), before) != 0) {
            ++tally.earlierTextChanged;
            if (tally.firstProblem.empty()) tally.firstProblem = "earlier text changed after a kill at " + std::to_string(at) + " us";
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
    std::cout << "kills " << total.kills << " (runs that ended first " << total.endedFirst
              << "), earlier text changed " << total.earlierTextChanged << ", cut lines " << total.cutLines
              << ", seed " << seed << "\n";
    EXPECT_GE(total.kills, kSandboxes * kKillsEach);
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

}  // namespace
}  // namespace talvorin::testing
