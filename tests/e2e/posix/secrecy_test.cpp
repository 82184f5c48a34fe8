// The password stays secret: nothing the program writes or shows holds it, during the run
// or after, except the kit tools' argument strings, which the tools need.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "sandbox.h"
#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

// Every file below `folder` (links not followed) whose bytes hold `secret`, but `allowed`.
std::set<std::string> filesHolding(const std::string& folder, const std::string& secret,
                                   const std::set<std::string>& allowed = {})
{
    std::set<std::string> found;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_regular_file(error) || it->is_symlink(error) || allowed.count(it->path().string())) continue;
        if (readFile(it->path().string()).find(secret) != std::string::npos) found.insert(it->path().string());
    }
    return found;
}

struct SecretCase {
    const char* what;
    std::string password;
    bool loginRefused;       // the server knows another password: the run fails to connect
    bool privateDataSource;  // the connect goes through a data-source file
};

void PrintTo(const SecretCase& c, std::ostream* os) { *os << c.what; }

class Secrecy : public ::testing::TestWithParam<SecretCase> {};

TEST_P(Secrecy, ThePasswordIsOnlyInTheToolsArgumentStrings)
{
    const SecretCase& c = GetParam();
    Sandbox box;
    // Slow answers keep the connect, and so the private data source, there for a while.
    SqlDouble server(SqlDoubleOptions()
                         .account("sa", c.loginRefused ? "another-one" : c.password)
                         .job("ORVO_Schedule_Archive")
                         .fault("slow=0.3"));
    box.kitData("sa", c.password, SqlDouble::address(), std::to_string(server.port()));

    // Everything in the sandbox, its TMPDIR included, looked at while the program runs.
    std::atomic<bool> running{true};
    std::set<std::string> seenDuring;
    int looks = 0;
    std::atomic<bool> sawDataSource{false};
    std::thread watcher([&] {
        while (running) {
            for (const auto& f : filesHolding(box.dir.str(), c.password, {box.toolJournal})) seenDuring.insert(f);
            if (box.dataSourceFolders() > 0) sawDataSource = true;
            ++looks;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    RunOptions options;
    options.keepStandardOutput = true;
    const ProgramResult result = box.run(options);
    running = false;
    watcher.join();

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_GT(looks, 10);
    EXPECT_EQ(sawDataSource, c.privateDataSource) << "the file was looked at while it existed";
    EXPECT_THAT(seenDuring, ::testing::IsEmpty());
    EXPECT_THAT(filesHolding(box.dir.str(), c.password, {box.toolJournal}), ::testing::IsEmpty());
    EXPECT_EQ(result.standardError.find(c.password), std::string::npos) << result.standardError;
    EXPECT_EQ(result.standardOutput.find(c.password), std::string::npos);
    const std::string log = readFile(box.logPath());
    EXPECT_EQ(log.find(c.password), std::string::npos);
    if (c.loginRefused) {
        EXPECT_THAT(log, ::testing::HasSubstr("SQL Server connection error"));
    } else {
        // The search finds it where it belongs: the tools were given it.
        EXPECT_NE(readFile(box.toolJournal).find(c.password), std::string::npos);
        EXPECT_THAT(log, ::testing::HasSubstr("Process completed successfully"));
    }
}

// A crash would leave a core file holding the password in clear, the tools' too (it is on their
// command line): they run with no core-file limit left to them.
TEST(CoreFiles, TheToolsRunWithACoreFileLimitOfZero)
{
    Sandbox box;
    SqlDouble server(SqlDoubleOptions().account("sa", "Pw-S3cret-Zq8"));
    box.kitData("sa", "Pw-S3cret-Zq8", SqlDouble::address(), std::to_string(server.port()));
    const std::string tool = box.kitDir + "osql.exe";
    std::filesystem::remove(tool);
    writeFile(tool, "#!/bin/sh\nulimit -c >\"$0.seen\"\n");
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    // As an administrator's shell may have it; the program inherits it.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_CORE, &old), 0);
    rlimit open = old;
    open.rlim_cur = old.rlim_max;
    ASSERT_EQ(::setrlimit(RLIMIT_CORE, &open), 0);
    EXPECT_EQ(box.run().exitCode, 0);
    ::setrlimit(RLIMIT_CORE, &old);
    EXPECT_EQ(readFile(tool + ".seen"), "0\n");
}

INSTANTIATE_TEST_SUITE_P(
    Passwords, Secrecy,
    ::testing::Values(SecretCase{"in the connection string", "Pw-S3cret-Zq8", false, false},
                      SecretCase{"through the private data source", "Se}cr;et-Zq8", false, true},
                      SecretCase{"narrowed by the driver manager", "x\xc5\xbd;et-Zq8", false, true},
                      SecretCase{"refused by the server", "Wr0ng-S3cret-Zq8", true, false},
                      SecretCase{"refused, through the private data source", "Wr}0ng;S3cret-Zq8", true, true}),
    [](const ::testing::TestParamInfo<SecretCase>& info) {
        std::string name;
        for (const char ch : std::string(info.param.what))
            name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });

}  // namespace
}  // namespace talvorin::testing
