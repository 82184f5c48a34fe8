#include "e2e/posix/program_run_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

#include "support/fakes.h"

namespace talvorin::testing {

ProgramResult runTalvorin(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                          int timeoutSeconds, const std::function<bool()>& terminateWhen)
{
    RunOptions options;
    options.timeoutSeconds = timeoutSeconds;
    options.terminateWhen = terminateWhen;
    return runTalvorin(args, env, options);
}

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env)
{
    RunOptions options;
    options.program = program;
    return runTalvorin(args, env, options);
}

ProgramResult runTalvorin(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                          const RunOptions& options)
{
    const std::string program = options.program.empty() ? TALVORIN_BINARY : options.program;
    TempDir scratch;
    const std::string errFile = scratch.str() + "/stderr";
    const std::string outFile = options.keepStandardOutput ? scratch.str() + "/stdout" : "/dev/null";
    int errPipe[2] = {-1, -1};
    if (options.standardErrorReaderGone && ::pipe(errPipe) != 0) return {};

    // Everything the child needs is made before the fork, so that tests may run programs
    // from several threads: the child calls nothing but async-signal-safe functions.
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::size_t eq = entry.find('=');
        if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [k, v] : env) merged[k] = v;
    std::vector<std::string> envText;
    for (const auto& [k, v] : merged) envText.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = errPipe[1];
        if (err < 0)
            err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        else
            ::close(errPipe[0]);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    if (errPipe[0] >= 0) {
        // Both ends closed here: the program writes to a pipe nobody reads any more.
        ::close(errPipe[0]);
        ::close(errPipe[1]);
    }
    ProgramResult result;
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::seconds(options.timeoutSeconds);
    const auto killAt = start + std::chrono::microseconds(options.killAfterMicroseconds);
    bool terminated = false;
    int status = 0;
    rusage usage{};
    for (;;) {
        if (options.terminateWhen && !terminated && options.terminateWhen()) {
            ::kill(pid, SIGTERM);
            terminated = true;
        }
        if (options.killAfterMicroseconds >= 0 && std::chrono::steady_clock::now() >= killAt) ::kill(pid, SIGKILL);
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) {
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            result.peakMemoryKb = usage.ru_maxrss;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        const auto pause = options.killAfterMicroseconds >= 0 ? std::chrono::microseconds(200)
                                                              : std::chrono::microseconds(20000);
        std::this_thread::sleep_for(pause);
    }
    result.standardError = readFile(errFile);
    // A sanitizer's report ends the program with exit code 1; tests that look at the code
    // alone would show nothing more.
    if (result.standardError.find("Sanitizer") != std::string::npos)
        std::fprintf(stderr, "%s: standard error:\n%s\n", program.c_str(), result.standardError.c_str());
    if (options.keepStandardOutput) result.standardOutput = readFile(outFile);
    return result;
}

std::string expectedComputerName()
{
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    std::string name(host);
    return formats::upperAsciiText(name.substr(0, name.find('.')).substr(0, 15));
}

}  // namespace talvorin::testing
