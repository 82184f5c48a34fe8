// Bad input of every kind, end to end: each run ends in bounded time with exit code 0, a
// log line (or box) that says what went wrong, and every file whole.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <algorithm>
#include <cctype>
#include <functional>
#include <random>

#include "sandbox.h"
#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

using ::testing::HasSubstr;

const char* const kJobs[] = {"ORVO_Schedule_Archive", "ORVO_Schedule_Full_Backup", "ORVO_Daily_Tx_Log_Backup"};
const std::string kRule(80, '-');

struct Kit {
    Sandbox& box;
    SqlDoubleOptions& server;
    std::vector<std::string>& args;
    std::string password = "Secret1";

    // A shell script in place of a kit tool.
    void tool(const std::string& name, const std::string& body) const
    {
        std::filesystem::remove(box.kitDir + name);
        writeFile(box.kitDir + name, "#!/bin/sh\n" + body + "\n");
        ::chmod((box.kitDir + name).c_str(), 0755);
    }
    void replace(const std::string& path, const std::function<void(const std::string&)>& make) const
    {
        std::filesystem::remove_all(path);
        make(path);
    }
};

std::string bytesOf(std::size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(random());
    return out;
}

struct BadInput {
    const char* name;
    std::function<void(Kit&)> arrange;
    std::string logLine;  // a log line holds this
    std::string box;      // standard error holds this ("" for no box)
    bool logWritable = true;
    bool terminateOnceToolsStart = false;  // a tool that hangs: SIGTERM, once it runs, must end the run
};

void PrintTo(const BadInput& input, std::ostream* os) { *os << input.name; }

const std::string kCompleted = "Process completed successfully, application will be closed";
const std::string kWithErrors = "Process completed with errors, application will be closed";
const std::string kConnectError = "SQL Server connection error. Application will be closed";
const std::string kNotAnInteger = "is not a valid integer value. Application will be closed";

const BadInput kBadInputs[] = {
    // The command line.
    {"four parameters", [](Kit& k) { k.args.pop_back(); },
     "Param 5, SetupFile   = ", "[Information] Wrong Parameters."},
    {"six parameters", [](Kit& k) { k.args.push_back("extra"); }, "Param 5, SetupFile   = Setup.ini",
     "[Information] Wrong Parameters."},
    {"no parameters", [](Kit& k) { k.args.clear(); }, "Param 1, SetupMod    = ", "[Information] Wrong Parameters."},
    {"setup mode not a number", [](Kit& k) { k.args[0] = "three"; }, kNotAnInteger, "[talvorin] 'three'"},
    {"setup mode beyond 32 bits", [](Kit& k) { k.args[0] = "99999999999999999999"; }, kNotAnInteger, "[talvorin]"},
    {"empty parameters", [](Kit& k) { k.args.assign(5, ""); }, kNotAnInteger, "[talvorin] '' is not"},
    {"install type not a number", [](Kit& k) { k.args[2] = "1x"; }, kNotAnInteger, "[talvorin] '1x'"},
    {"server base path of 100000 characters", [](Kit& k) { k.args[1] = std::string(100000, 'S'); },
     "or osql.exe not found", ""},
    {"bytes that are no UTF-8",
     [](Kit& k) {
         k.args[3] = "\xff\xfe\xc3(\x80";
         k.args[4] = "\xe9t\xe9.ini";
     },
     "Setup file ", ""},
    {"parameter with a line break", [](Kit& k) { k.args[4] = "Set\r\nup.ini"; }, "Param 5, SetupFile   = Set", ""},
    // The setup file.
    {"setup file missing", [](Kit& k) { std::filesystem::remove(k.box.setupFilePath()); },
     "Setup.ini does not exist: no script or code table is listed", ""},
    {"setup file a folder",
     [](Kit& k) {
         k.replace(k.box.setupFilePath(), [](const std::string& p) { std::filesystem::create_directory(p); });
     },
     "Setup.ini is a folder: no script or code table is listed", ""},
    {"setup file a FIFO",
     [](Kit& k) { k.replace(k.box.setupFilePath(), [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }); },
     "Setup.ini is not a regular file: no script or code table is listed", ""},
    {"setup file of binary garbage", [](Kit& k) { k.box.setupFile(bytesOf(200000, 1)); }, kCompleted, ""},
    {"setup file of 100 MB of empty lines",
     [](Kit& k) { k.box.setupFile("[SCRIPT_2005]\r\n1=create_db.sql\r\n" + std::string(100u << 20, '\n')); },
     "Execute create_db.sql successfully", ""},
    {"setup file in UTF-16",
     [](Kit& k) {
         std::string utf16 = "\xff\xfe";
         for (char c : std::string("[SCRIPT_2005]\r\n1=create_db.sql\r\n")) utf16 += std::string{c, '\0'};
         k.box.setupFile(utf16);
     },
     kCompleted, ""},
    {"setup file value of a megabyte",
     [](Kit& k) { k.box.setupFile("[SCRIPT_2005]\r\n1=" + std::string(1u << 20, 'a') + "\r\n"); },
     "or osql.exe not found", ""},
    // The kit data file.
    {"kit data file of garbage", [](Kit& k) { writeFile(k.box.kitDir + "Orvo4.DAT", bytesOf(5000, 2)); },
     "Get SQL Server Info", "[Warning] Mircosoft SQL Server information setting is not completed."},
    {"kit data file a folder",
     [](Kit& k) {
         k.replace(k.box.kitDir + "Orvo4.DAT", [](const std::string& p) { std::filesystem::create_directory(p); });
     },
     "Get SQL Server Info", "[Warning] Mircosoft SQL Server"},
    {"kit data file a FIFO",
     [](Kit& k) { k.replace(k.box.kitDir + "Orvo4.DAT", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }); },
     "Get SQL Server Info", "[Warning] Mircosoft SQL Server"},
    {"server address that is no address",
     [](Kit& k) { k.box.kitData("sa", "Secret1", "no.such.host.invalid", "1433"); }, kConnectError, "[Error]"},
    {"port beyond 65535", [](Kit& k) { k.box.kitData("sa", "Secret1", "127.0.0.1", "99999"); }, kConnectError,
     "[Error]"},
    {"password unixODBC would read as a new DRIVER",
     [](Kit& k) {
         k.password = "x\xc5\xbd;DRIVER=/nonexistent/evil.so;";  // U+017D narrows to "}"
     },
     kCompleted, ""},
    // SQL Server takes at most 128 characters: the login fails, and says so.
    {"password of 10000 characters", [](Kit& k) { k.password = std::string(10000, 'p'); }, kConnectError,
     "Login failed for user 'sa'"},
    // The registry file.
    {"registry file of garbage",
     [](Kit& k) {
         writeFile(k.box.registryFile(), bytesOf(20000, 3));
         k.args[2] = "2";
     },
     "Upgrade from 1.6.", ""},
    {"registry file a FIFO",
     [](Kit& k) {
         k.replace(k.box.registryFile(), [](const std::string& p) { ::mkfifo(p.c_str(), 0600); });
         k.args[2] = "2";
     },
     "Upgrade from 1.6.", ""},
    {"registry file in UTF-16 with garbage",
     [](Kit& k) {
         writeFile(k.box.registryFile(), "\xff\xfe" + bytesOf(9999, 4));
         k.args[2] = "2";
     },
     "Upgrade from 1.6.", ""},
    // The kit tools.
    {"osql.exe not executable",
     [](Kit& k) {
         writeFile(k.box.kitDir + "osql.exe.tmp", "MZ");
         std::filesystem::remove(k.box.kitDir + "osql.exe");
         std::filesystem::rename(k.box.kitDir + "osql.exe.tmp", k.box.kitDir + "osql.exe");
         ::chmod((k.box.kitDir + "osql.exe").c_str(), 0644);
     },
     "Error creating database.[sqlcmd failed] create_db.sql", ""},
    {"osql.exe a folder",
     [](Kit& k) {
         k.replace(k.box.kitDir + "osql.exe", [](const std::string& p) { std::filesystem::create_directory(p); });
     },
     "osql.exe is a folder: no script can be run", ""},
    {"osql.exe a broken link",
     [](Kit& k) {
         k.replace(k.box.kitDir + "osql.exe",
                   [&](const std::string& p) { std::filesystem::create_symlink(k.box.dir / "gone", p); });
     },
     "is a symbolic link to nothing: no script can be run", ""},
    {"osql.exe killed by a signal", [](Kit& k) { k.tool("osql.exe", "kill -KILL $$"); },
     "Error creating database.[sqlcmd failed] create_db.sql", ""},
    {"osql.exe exits 255", [](Kit& k) { k.tool("osql.exe", "exit 255"); },
     "Error creating database.[sqlcmd failed] create_db.sql", ""},
    {"bcp.exe writes megabytes",
     [](Kit& k) { k.tool("bcp.exe", "head -c 20000000 /dev/zero; head -c 5000000 /dev/zero >&2"); },
     "Loading code table VELMORA..PORT in Port.dat completed successfully", ""},
    {"osql.exe that hangs",
     [](Kit& k) { k.tool("osql.exe", "touch '" + (k.box.dir / "tool-started") + "'; exec sleep 20"); },
     "Interrupted by a quit request: osql.exe was left running for create_db.sql", "", true, true},
    // The server.
    {"server that accepts and never answers", [](Kit& k) { k.server.fault("silent"); }, kConnectError, "[Error]"},
    {"server that answers garbage", [](Kit& k) { k.server.fault("garbage"); }, kConnectError, "[Error]"},
    {"server that drops the connection in sp_delete_job", [](Kit& k) { k.server.fault("drop-in-rpc"); },
     "Delete previous archive schedule: Fail, error: ", ""},
    {"server that refuses connections", [](Kit& k) { k.server.fault("refuse"); }, kConnectError, "[Error]"},
    // The setup log itself.
    {"log read-only",
     [](Kit& k) {
         writeFile(k.box.logPath(), "kept\r\n");
         ::chmod(k.box.logPath().c_str(), 0444);
     },
     "", "system.log: the file is read-only", false},
    {"log a folder", [](Kit& k) { std::filesystem::create_directory(k.box.logPath()); }, "",
     "system.log: not a regular file", false},
    {"log a link",
     [](Kit& k) {
         writeFile(k.box.dir / "elsewhere.txt", "kept\r\n");
         std::filesystem::create_symlink(k.box.dir / "elsewhere.txt", k.box.logPath());
     },
     "", "system.log: it is a symbolic link, which is not followed", false},
    {"log a dangling link", [](Kit& k) { std::filesystem::create_symlink(k.box.dir / "created.txt", k.box.logPath()); },
     "", "symbolic link", false},
};

class BadInputRun : public ::testing::TestWithParam<BadInput> {};

// Files that must be whole after the run: what the program may touch besides the log.
std::map<std::string, std::string> snapshot(const Sandbox& box)
{
    std::map<std::string, std::string> files;
    for (const auto& path :
         {box.kitDir + "Orvo4.DAT", box.setupFilePath(), box.registryFile(), box.dir / "elsewhere.txt"}) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) files[path] = readFile(path);
    }
    return files;
}

TEST_P(BadInputRun, EndsInTimeWithExitZeroAClearLineAndEveryFileWhole)
{
    const BadInput& input = GetParam();
    Sandbox box;
    SqlDoubleOptions serverOptions;
    std::vector<std::string> args = box.args();
    Kit kit{box, serverOptions, args};
    input.arrange(kit);
    serverOptions.account("sa", kit.password).job(kJobs[0]).job(kJobs[1]).job(kJobs[2]);
    SqlDouble server(serverOptions);
    if (!std::filesystem::exists(box.kitDir + "Orvo4.DAT"))
        box.kitData("sa", kit.password, SqlDouble::address(), std::to_string(server.port()));
    const auto before = snapshot(box);
    const std::string logBefore = std::filesystem::is_regular_file(box.logPath()) ? readFile(box.logPath()) : "";

    RunOptions options;
    options.timeoutSeconds = 90;
    if (input.terminateOnceToolsStart)
        options.terminateWhen = [&] { return std::filesystem::exists(box.dir / "tool-started"); };
    const ProgramResult result = runTalvorin(args, box.env(), options);

    EXPECT_EQ(result.exitCode, 0) << "-1: still running after " << options.timeoutSeconds << " s";
    // The largest input is a 100 MB setup file; reading it once cost 3.2 GB.
    EXPECT_LT(result.peakMemoryKb, 1L << 20) << "kB at the peak";
    if (input.box.empty())
        EXPECT_EQ(result.standardError, "");
    else
        EXPECT_THAT(result.standardError, HasSubstr(input.box));
    EXPECT_EQ(snapshot(box), before) << "a file the run had no business changing changed";
    EXPECT_FALSE(std::filesystem::exists(box.dir / "created.txt"));
    EXPECT_EQ(box.dataSourceFolders(), 0u);

    if (!input.logWritable) {
        struct stat st {};
        if (::lstat(box.logPath().c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            EXPECT_EQ(readFile(box.logPath()), logBefore);
        }
        return;
    }
    const std::string logText = readFile(box.logPath());
    std::string bad;
    // A parameter with a line break gives a line without a stamp; all others are stamped.
    const bool whole = input.name == std::string("parameter with a line break")
                           ? logText.size() >= 2 && logText.substr(logText.size() - 2) == "\r\n"
                           : onlyWholeLogLines(logText, &bad);
    EXPECT_TRUE(whole) << "[" << bad << "]";
    const auto lines = unstampedLogLines(logText);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[lines.size() - 2], "End database / table createion program");
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const std::string& line) { return line.find(input.logLine) != std::string::npos; }))
        << "no line holds [" << input.logLine << "]";
}

std::string caseName(const ::testing::TestParamInfo<BadInput>& info)
{
    std::string name;
    for (const char c : std::string(info.param.name)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Kinds, BadInputRun, ::testing::ValuesIn(kBadInputs), caseName);

}  // namespace
}  // namespace talvorin::testing
