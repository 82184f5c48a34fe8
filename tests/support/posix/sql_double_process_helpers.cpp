// Starts and stops the SQL Server double as a child process of the test program.
#include "support/sql_double.h"
#include "support/temp_dir.h"

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace talvorin::testing {

// ---- the process ------------------------------------------------------------------------

// The double's folder: port file and journal, removed at the end.
class SqlDouble::Files {
public:
    TempDir folder{"talvorin-sqldouble-"};
    std::string path = folder.str();
};

class SqlDouble::Process {
public:
    explicit Process(const std::vector<std::string>& args)
    {
        std::vector<char*> argv;
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const int rc = posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), environ);
        if (rc != 0) throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(rc));
    }

    ~Process()
    {
        kill(pid_, SIGTERM);
        for (int i = 0; i < 250; ++i) {
            if (exited()) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // True once the process has ended (and been reaped); `status` then holds its status.
    bool exited()
    {
        if (reaped_) return true;
        if (waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
        return reaped_;
    }
    int status() const { return status_; }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool reaped_ = false;
};

namespace {

std::string defaultScript()
{
#ifdef TDS_DOUBLE
    return TDS_DOUBLE;
#else
    return "tests/support/tds_double.py";
#endif
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

SqlDouble::SqlDouble(const SqlDoubleOptions& options) : files_(std::make_unique<Files>())
{
    const std::string portFile = files_->path + "/port";
    journalPath_ = files_->path + "/journal.jsonl";
    std::vector<std::string> args = {"python3",     defaultScript(), "--port",    "0",
                                     "--port-file", portFile,        "--journal", journalPath_};
    const std::vector<std::string> rest = doubleOptions(options);
    args.insert(args.end(), rest.begin(), rest.end());
    process_ = std::make_unique<Process>(args);

    // The double writes the port file in one rename once it listens.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string text = readFile(portFile);
        if (!text.empty() && text.back() == '\n') {
            port_ = std::stoi(text);
            return;
        }
        if (process_->exited())
            throw std::runtime_error("the SQL Server double ended before it listened (status " +
                                     std::to_string(process_->status()) + ")");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("the SQL Server double did not listen within 15 s");
}

SqlDouble::~SqlDouble() = default;

}  // namespace talvorin::testing
