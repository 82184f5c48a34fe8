// The example installers (examples/installer/), built by wixl and makensis around this build's
// Talvorin.exe with the kit-tool stand-in as osql.exe and bcp.exe, installed under Wine against
// the SQL Server double; and their outcome rule, applied to logs written here.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "e2e/program_run.h"
#include "platform/win32/handles.h"
#include "support/kit_sandbox.h"
#include "support/fakes.h"
#include "support/kit_tool_journal.h"
#include "support/scoped_env.h"
#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

using platform::UniqueHandle;
using platform::UniqueRegistryKey;
using ::testing::Contains;

constexpr const char* kReleaseKey = "SOFTWARE\\QUORVANTA\\ORVO3";
constexpr const char* kSuccess = "Process completed successfully, application will be closed";
constexpr const char* kNoConnection = "SQL Server connection error. Application will be closed";
const std::string kInstallers = std::string(INSTALLERS_DIR) + "\\";

std::string windowsDirectory()
{
    char buffer[MAX_PATH] = {};
    return std::string(buffer, ::GetWindowsDirectoryA(buffer, sizeof buffer));
}

// Runs a command line with this program's environment: its exit code, or -1 when it did not
// end in time (a box or dialog waiting for a person). Then the installer and what it started
// (Talvorin, which holds this program's output open) are ended together, as one job.
int runCommand(std::string commandLine, int timeoutSeconds = 90)
{
    const UniqueHandle job(::CreateJobObjectA(nullptr, nullptr));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!job || !::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                  nullptr, &startup, &info))
        return -2;
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    ::AssignProcessToJobObject(job.get(), process.get());
    ::ResumeThread(thread.get());
    if (::WaitForSingleObject(process.get(), static_cast<DWORD>(timeoutSeconds) * 1000) != WAIT_OBJECT_0) {
        ::TerminateJobObject(job.get(), 1);
        ::WaitForSingleObject(process.get(), INFINITE);
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

// A value of the release key in the 32-bit view; "(none)" when the key or value is missing.
std::string releaseValue(const char* name)
{
    UniqueRegistryKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kReleaseKey, 0, KEY_READ | KEY_WOW64_32KEY, key.put()) != ERROR_SUCCESS)
        return "(none)";
    char value[512] = {};
    DWORD size = sizeof value - 1;
    if (::RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
        return "(none)";
    return value;
}

void forgetRelease()
{
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kReleaseKey, view, 0);
}

// What an older release's installer left.
void olderRelease(const std::string& version)
{
    UniqueRegistryKey key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kReleaseKey, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(key.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                     static_cast<DWORD>(version.size() + 1));
}

std::string stamped(const std::string& message) { return "VELMORA01 2026-12-09 05:00:00 " + message + "\r\n"; }

std::string banner(bool start)
{
    const std::string rule(80, '-');
    return rule + "\r\n" +
           (start ? "Start database / table creation program" : "End database / table createion program") + "\r\n" +
           rule + "\r\n";
}

// A whole run in the log: start banner, its messages, end banner.
std::string logRun(const std::vector<std::string>& messages)
{
    std::string text = banner(true);
    for (const auto& m : messages) text += stamped(m);
    return text + banner(false);
}

enum class Installer { Msi, Nsis };

struct InstallCase {
    const char* name;
    Installer installer;
    bool silent;
    const char* olderRelease;  // "" none
    bool server;               // false: nothing listens where the kit data file points
    const char* pathLine;      // the line that shows the path the run took
    const char* firstScript;   // "" none
    int exitCode;
    const char* releaseAfter;
};

void PrintTo(const InstallCase& c, std::ostream* os) { *os << c.name; }

const InstallCase kInstallCases[] = {
    {"MsiFirstInstallation", Installer::Msi, true, "", true, "Start creating database", "create_db.sql", 0, "3.1"},
    {"MsiUpgradeFromAnOlderRelease", Installer::Msi, true, "2.5", true, "Upgrade from 1.6.", "create_db.sql", 0, "3.1"},
    {"NsisFirstInstallation", Installer::Nsis, true, "", true, "Start creating database", "create_db.sql", 0, "3.1"},
    {"NsisWithItsWindows", Installer::Nsis, false, "", true, "Start creating database", "create_db.sql", 0, "3.1"},
    {"NsisUpgradeRepair", Installer::Nsis, true, "3.0", true, "Upgrade repair from 3.0", "upd_1.sql", 0, "3.1"},
    {"NsisFailedRunWritesNoKey", Installer::Nsis, true, "", false, kNoConnection, "", 2, "(none)"},
    {"NsisFailedUpgradeKeepsTheOlderKey", Installer::Nsis, true, "2.5", false, kNoConnection, "", 2, "2.5"},
};

class Installers : public ::testing::TestWithParam<InstallCase> {
protected:
    TempDir dir;
    const std::string kitDir = windowsDirectory() + "\\MigKit4\\";
    const std::string productDir = environmentVariable("ProgramFiles").value_or("") + "\\Velmora Deluxe\\";
    const std::string journal = dir.str() + "\\tools.journal";
    // Whatever the test program was given, the installer decides whether Talvorin is unattended.
    ScopedEnv unattended{"TALVORIN_UNATTENDED", nullptr};
    ScopedEnv tools{"KIT_TOOL_JOURNAL", journal};
    ScopedEnv driver{"TALVORIN_ODBC_DRIVER", "FreeTDS"};

    void SetUp() override
    {
        removeSharedKitFolder(kitDir);
        std::filesystem::create_directories(kitDir);
        forgetRelease();
    }
    void TearDown() override
    {
        // A product left registered would turn the next case's install into a repair.
        if (GetParam().installer == Installer::Msi && HasFailure()) uninstall(GetParam());
        forgetRelease();
        std::error_code ignored;
        std::filesystem::remove_all(productDir, ignored);
        std::filesystem::remove_all(kitDir, ignored);
    }

    void kitData(const std::string& port) { writeKitData(kitDir, "sa", "pw", "127.0.0.1", port); }

    int install(const InstallCase& c)
    {
        if (c.installer == Installer::Msi)
            return runCommand("msiexec.exe /i \"" + kInstallers + "VelmoraServer.msi\"" + (c.silent ? " /qn" : " /qb"));
        return runCommand("\"" + kInstallers + "VelmoraServer-3.1.exe\"" + (c.silent ? " /S" : ""));
    }

    int uninstall(const InstallCase& c)
    {
        if (c.installer == Installer::Msi)
            return runCommand("msiexec.exe /x \"" + kInstallers + "VelmoraServer.msi\" /qn");
        // _?= makes the uninstaller run where it is, and so be waited for.
        return runCommand("\"" + productDir + "Uninstall.exe\" /S _?=" + productDir.substr(0, productDir.size() - 1));
    }

    // The lines of the log's last run, unstamped, without its banners.
    std::vector<std::string> lastRun() const
    {
        const auto all = unstampedLogLines(readFile(kitDir + "system.log"));
        auto start = std::find(all.rbegin(), all.rend(), "Start database / table creation program").base();
        if (start == all.begin() || all.end() - start < 4) return {};
        return {start + 1, all.end() - 3};
    }
};

TEST_P(Installers, RunTalvorinBeforeTheReleaseKey)
{
    const InstallCase& c = GetParam();
    std::optional<SqlDouble> server;
    if (c.server) server.emplace(SqlDoubleOptions().account("sa", "pw"));
    kitData(server ? std::to_string(server->port()) : "1");
    if (*c.olderRelease) olderRelease(c.olderRelease);
    // An earlier run that succeeded: only the last run counts.
    writeFile(kitDir + "system.log", logRun({"Starting C:\\Old\\Talvorin.exe", kSuccess}));

    EXPECT_EQ(install(c), c.exitCode);
    const auto lines = lastRun();
    const std::string serverDir = productDir + "Server\\";
    EXPECT_THAT(lines, Contains("Param 2, SvrBasePath = " + serverDir)) << "quoted, its final backslash kept";
    EXPECT_THAT(lines, Contains("Param 3, InstallType = " + std::string(*c.olderRelease ? "2" : "1")));
    EXPECT_THAT(lines, Contains("Param 4, SupportDir  = " + productDir + "Support\\"));
    EXPECT_THAT(lines, Contains(c.pathLine));
    // A failed connection's fixed line is followed by the failure's own text.
    const std::size_t closing = c.server ? 1 : 2;
    EXPECT_EQ(lines.size() < closing ? "" : lines[lines.size() - closing], c.server ? kSuccess : kNoConnection);
    EXPECT_EQ(releaseValue("Version"), c.releaseAfter);
    if (c.exitCode == 0) {
        EXPECT_EQ(releaseValue("ServerPath"), serverDir);
    }

    const auto runs = readKitToolJournal(journal);
    ASSERT_EQ(runs.empty(), !*c.firstScript);
    if (!runs.empty()) {
        EXPECT_THAT(runs[0].commandLine.value_or(""),
                    ::testing::EndsWith(" -i \"" + serverDir + "Scripts\\" + c.firstScript + "\""));
    }
    if (c.exitCode != 0) return;

    // Uninstalled, the kit keeps the log and the kit data file, which no package installed.
    EXPECT_EQ(uninstall(c), 0);
    EXPECT_FALSE(std::filesystem::exists(kitDir + "Talvorin.exe"));
    EXPECT_TRUE(std::filesystem::exists(kitDir + "system.log"));
    EXPECT_TRUE(std::filesystem::exists(kitDir + "Orvo4.DAT"));
    EXPECT_EQ(releaseValue("Version"), "(none)");
}

INSTANTIATE_TEST_SUITE_P(Examples, Installers, ::testing::ValuesIn(kInstallCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct OutcomeCase {
    const char* name;
    std::string log;
    std::string reason;  // how the result begins; "" success
};

// A message whose stamped line fills one piece that NSIS reads at once: what follows it in
// the same line begins the next piece.
std::string filling(std::size_t pieceLength)
{
    const std::string head = "Delete previous archive schedule: Fail, error: ";
    return head + std::string(pieceLength - (stamped(head).size() - 2), 'x');
}

const OutcomeCase kOutcomeCases[] = {
    {"ASuccessfulRun", logRun({"Starting T.exe", kSuccess}), ""},
    {"OnlyTheLastRunCounts", logRun({kSuccess}) + logRun({kNoConnection}), kNoConnection},
    {"AnEarlierFailureDoesNotCount", logRun({kNoConnection}) + logRun({kSuccess}), ""},
    {"AFailureLineBesideTheClosingLine",
     logRun({"Error loading code table X in x.dat",
             "Error occurs during loading code tables. Please refer to the above log "
             "for details",
             kSuccess}),
     "Error loading code table X in x.dat"},
    {"ASummaryLineAlone", logRun({"Upgrade from 1.6.", "Upgrade from 1.6. Database creation error", kSuccess}),
     "Upgrade from 1.6. Database creation error"},
    {"AJobThatWasNotThereIsNoFailure", logRun({"Delete previous archive schedule: Fail, error: none", kSuccess}), ""},
    {"ARunCutShort", logRun({"Get SQL Server Info"}),
     "the run ended before its closing line, after: Get SQL Server Info"},
    {"QuotedTextIsNoClosingLine", logRun({std::string("Delete previous archive schedule: Fail, error: ") + kSuccess}),
     std::string("the run ended before its closing line, after: Delete previous archive schedule: Fail, error: ") +
         kSuccess},
    {"ALongLineIsOneLine", logRun({filling(1023) + stamped(kSuccess).substr(0, stamped(kSuccess).size() - 2)}),
     "the run ended before its closing line"},
    {"NoRun", stamped(kSuccess), "no run of Talvorin.exe in the log"},
};

// One run of the probe for the whole table: each Wine process start costs a good part of a second.
TEST(Outcome, OfTheLastRun)
{
    TempDir dir;
    ScopedEnv folder{"OUTCOME_DIR", dir.str()};
    for (const OutcomeCase& c : kOutcomeCases) writeFile(dir.str() + "\\" + c.name + ".log", c.log);
    ASSERT_EQ(runCommand("\"" + kInstallers + "outcome_probe.exe\""), 0);
    for (const OutcomeCase& c : kOutcomeCases) {
        SCOPED_TRACE(c.name);
        const std::string resultFile = dir.str() + "\\" + c.name + ".log.result";
        ASSERT_TRUE(std::filesystem::exists(resultFile));
        const std::string result = readFile(resultFile);
        if (c.reason.empty()) {
            EXPECT_EQ(result, "");
        } else {
            EXPECT_THAT(result, ::testing::StartsWith(c.reason));
        }
    }
}

}  // namespace
}  // namespace talvorin::testing
