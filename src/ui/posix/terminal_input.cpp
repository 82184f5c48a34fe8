#include "ui/posix/terminal_input.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/quit_signal.h"
#include "platform/wait.h"
#include "ui/posix/terminal_text.h"

namespace talvorin::ui {
namespace {

using Kind = TerminalKey::Kind;

bool utf8Lead(char c) { return (static_cast<unsigned char>(c) & 0xc0) == 0xc0; }
bool utf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xc0) == 0x80; }

// How many bytes the UTF-8 character starting with this byte has.
std::size_t utf8Length(char lead)
{
    const auto b = static_cast<unsigned char>(lead);
    if (b >= 0xf0) return 4;
    if (b >= 0xe0) return 3;
    if (b >= 0xc0) return 2;
    return 1;
}

std::string cursorLeft(std::size_t columns)
{
    return columns == 0 ? std::string() : "\x1b[" + std::to_string(columns) + "D";
}

}  // namespace

void writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

// Keys arrive one by one and unechoed for the whole life of the front end, so nothing typed
// is echoed by the terminal behind the program's back (typing ahead of a prompt, a paste, an
// escape sequence). Signals stay on: Ctrl+C still asks the program to quit.
class TerminalInput::RawMode {
public:
    explicit RawMode(int fd) : fd_(fd)
    {
        if (::tcgetattr(fd_, &saved_) != 0) return;
        termios raw = saved_;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        active_ = ::tcsetattr(fd_, TCSANOW, &raw) == 0;
    }
    ~RawMode()
    {
        if (!active_) return;
        // Put back even when the program has been moved to the background meanwhile: with
        // SIGTTOU blocked that does not stop it.
        sigset_t ttou, old;
        sigemptyset(&ttou);
        sigaddset(&ttou, SIGTTOU);
        ::pthread_sigmask(SIG_BLOCK, &ttou, &old);
        ::tcsetattr(fd_, TCSANOW, &saved_);
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

TerminalInput::TerminalInput(TerminalFiles files, bool attended, InputWaiter& waiter)
    : files_(files), attended_(attended), waiter_(waiter)
{
    takeKeys();
}

TerminalInput::~TerminalInput() = default;

// A program started in the background of its controlling terminal leaves the terminal's
// mode alone (changing it would stop the program) until it is brought to the foreground and
// reads a key. A terminal that is not the controlling one has no foreground to wait for.
bool TerminalInput::takeKeys()
{
    if (!attended_) return false;
    if (!raw_) {
        const pid_t foreground = ::tcgetpgrp(files_.in);
        if (foreground == -1 || foreground == ::getpgrp()) raw_ = std::make_unique<RawMode>(files_.in);
    }
    return raw_ != nullptr;
}

void TerminalInput::echo(const std::string& bytes)
{
    if (attended_) writeAll(files_.out, bytes);
}

std::optional<TerminalKey> TerminalInput::readKey()
{
    using Clock = std::chrono::steady_clock;
    takeKeys();
    for (;;) {
        if (auto key = keys_.next()) return key;
        if (inputEnded_) return TerminalKey{Kind::Escape};
        if (platform::QuitSignal::instance().requested()) return std::nullopt;

        int timeout = waiter_.msUntilNextTimer();
        if (keys_.pending()) {
            if (!escapeDeadline_)
                escapeDeadline_ = Clock::now() + std::chrono::milliseconds(KeyDecoder::kEscapeTimeoutMs);
            const auto rest = std::chrono::ceil<std::chrono::milliseconds>(*escapeDeadline_ - Clock::now()).count();
            if (rest <= 0) {
                escapeDeadline_.reset();
                keys_.escapeTimedOut();
                continue;
            }
            timeout = timeout < 0 ? static_cast<int>(rest) : std::min(timeout, static_cast<int>(rest));
        }
        const int which = platform::waitForAny(
            {files_.in, platform::QuitSignal::instance().handle(), waiter_.extraWake()}, timeout);
        if (which == platform::kWaitFailed) platform::pauseAfterFailedWait(timeout);
        waiter_.serviceTimers();
        if (which != 0) continue;
        char bytes[64];
        const ssize_t n = ::read(files_.in, bytes, sizeof bytes);
        if (n > 0) {
            keys_.feed(std::string(bytes, static_cast<std::size_t>(n)));
            if (!keys_.pending()) escapeDeadline_.reset();
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            // Input closed (or the terminal hung up): what is held still counts.
            keys_.escapeTimedOut();
            inputEnded_ = true;
        }
    }
}

LineEnd TerminalInput::readLine(std::string& line, bool secret)
{
    line.clear();
    std::size_t caret = 0;  // a byte offset, always at a character's start
    std::string partial;    // the first bytes of a UTF-8 character still being typed
    const auto shown = [secret](const std::string& text) { return secret ? std::string(columnsOf(text), '*') : text; };
    const auto charAt = [&line](std::size_t pos) {
        std::size_t end = pos + 1;
        while (end < line.size() && utf8Continuation(line[end])) ++end;
        return end - pos;
    };
    const auto charBefore = [&line](std::size_t pos) {
        std::size_t start = pos - 1;
        while (start > 0 && utf8Continuation(line[start])) --start;
        return pos - start;
    };
    for (;;) {
        const auto key = readKey();
        const Kind kind = key ? key->kind : Kind::Escape;
        if (kind != Kind::Char) partial.clear();
        switch (kind) {
        case Kind::Enter: echo("\n"); return LineEnd::Enter;
        case Kind::Tab: echo("\n"); return LineEnd::Tab;
        case Kind::BackTab: echo("\n"); return LineEnd::BackTab;
        case Kind::Escape: echo("\n"); return LineEnd::Cancel;
        case Kind::Char: {
            partial += key->ch;
            if (utf8Lead(partial[0]) && partial.size() < utf8Length(partial[0])) break;
            const std::string tail = line.substr(caret);
            line.insert(caret, partial);
            caret += partial.size();
            echo(shown(partial) + shown(tail) + cursorLeft(columnsOf(tail)));
            partial.clear();
            break;
        }
        case Kind::Backspace:
            if (caret > 0) {
                const std::size_t n = charBefore(caret);
                line.erase(caret - n, n);
                caret -= n;
                const std::string tail = line.substr(caret);
                echo("\b" + shown(tail) + " " + cursorLeft(columnsOf(tail) + 1));
            }
            break;
        case Kind::Delete:
            if (caret < line.size()) {
                line.erase(caret, charAt(caret));
                const std::string tail = line.substr(caret);
                echo(shown(tail) + " " + cursorLeft(columnsOf(tail) + 1));
            }
            break;
        case Kind::Left:
            if (caret > 0) {
                caret -= charBefore(caret);
                echo("\b");
            }
            break;
        case Kind::Right:
            if (caret < line.size()) {
                const std::size_t n = charAt(caret);
                echo(shown(line.substr(caret, n)));
                caret += n;
            }
            break;
        case Kind::Home:
            echo(cursorLeft(columnsOf(line.substr(0, caret))));
            caret = 0;
            break;
        case Kind::End:
            echo(shown(line.substr(caret)));
            caret = line.size();
            break;
        default: break;  // no meaning on a line
        }
    }
}

}  // namespace talvorin::ui
