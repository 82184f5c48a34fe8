#include "e2e/program_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "support/fakes.h"

namespace talvorin::testing {

ProgramResult runTalvorin(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                          int timeoutSeconds, const std::function<bool()>& terminateWhen)
{
    TempDir scratch;
    const std::string errFile = scratch.str() + "/stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open("/dev/null", O_WRONLY);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(TALVORIN_BINARY)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(TALVORIN_BINARY, argv.data());
        ::_exit(127);
    }
    ProgramResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    bool terminated = false;
    int status = 0;
    for (;;) {
        if (terminateWhen && !terminated && terminateWhen()) {
            ::kill(pid, SIGTERM);
            terminated = true;
        }
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result.standardError = readFile(errFile);
    return result;
}

std::string expectedComputerName()
{
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    std::string name(host);
    return platform::upperAsciiText(name.substr(0, name.find('.')).substr(0, 15));
}

}  // namespace talvorin::testing
