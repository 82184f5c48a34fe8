#include "e2e/posix/terminal_run.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace talvorin::testing {

TerminalRun::TerminalRun(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                         unsigned short columns, unsigned short rows)
    : screen_(columns, rows)
{
    winsize size{rows, columns, 0, 0};
    pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ < 0) throw std::runtime_error("forkpty failed");
    if (pid_ == 0) {
        ::unsetenv("COLUMNS");
        for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(TALVORIN_BINARY)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(TALVORIN_BINARY, argv.data());
        ::_exit(127);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

TerminalRun::~TerminalRun()
{
    if (!ended_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(master_);
}

void TerminalRun::type(const std::string& keys)
{
    std::size_t done = 0;
    while (done < keys.size()) {
        const ssize_t n = ::write(master_, keys.data() + done, keys.size() - done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            readAvailable(10);
            continue;
        }
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

void TerminalRun::resize(unsigned short columns, unsigned short rows)
{
    readAvailable(0);  // what was drawn at the old size lands there
    winsize size{rows, columns, 0, 0};
    ::ioctl(master_, TIOCSWINSZ, &size);
    screen_.resize(columns, rows);
}

bool TerminalRun::readAvailable(int waitMs)
{
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0) return false;
    bool got = false;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) return got;  // nothing more now, or the program has closed the terminal (EIO)
        const std::string chunk(buf, static_cast<std::size_t>(n));
        output_ += chunk;
        screen_.feed(chunk);
        got = true;
    }
}

bool TerminalRun::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        readAvailable(20);
    }
}

bool TerminalRun::waitForText(const std::string& text, std::chrono::milliseconds timeout)
{
    return waitUntil([&] { return screen_.shows(text); }, timeout);
}

int TerminalRun::waitForExit(std::chrono::milliseconds timeout)
{
    const bool ended = waitUntil(
        [&] {
            int status = 0;
            if (ended_ || ::waitpid(pid_, &status, WNOHANG) != pid_) return ended_;
            ended_ = true;
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        },
        timeout);
    // What the program wrote last may still be on its way.
    for (int i = 0; i < 20 && readAvailable(50);) ++i;
    return ended ? exitCode_ : -1;
}

}  // namespace talvorin::testing
