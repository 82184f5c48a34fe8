#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/wait_handle.h"
#include "ui/posix/terminal_keys.h"

namespace talvorin::ui {

// Where the front end reads keys and writes: the program's standard streams, or a
// pseudo-terminal or pipes in tests.
struct TerminalFiles {
    int in = 0;
    int out = 1;
    int err = 2;
};

// How a typed line was ended. Cancel: Escape, the end of input, or a quit request.
enum class LineEnd { Enter, Tab, BackTab, Cancel };

// What the input lets run while it waits for a key: the front end's timers, and whatever
// else should end the wait. The front end implements it.
class InputWaiter {
public:
    virtual ~InputWaiter() = default;
    // Milliseconds until the next timer is due; -1 when none is.
    virtual int msUntilNextTimer() const = 0;
    // Fires the timers that are due and draws what changed.
    virtual void serviceTimers() = 0;
    // One more handle that ends the wait (a resize of the terminal); kNoWaitHandle for none.
    virtual platform::WaitHandle extraWake() const = 0;
};

// The keys of the terminal: raw mode, decoding, waiting for a key and reading a line.
class TerminalInput {
public:
    // attended: input and output are a terminal; otherwise nothing is read or echoed.
    TerminalInput(TerminalFiles files, bool attended, InputWaiter& waiter);
    ~TerminalInput();
    TerminalInput(const TerminalInput&) = delete;
    TerminalInput& operator=(const TerminalInput&) = delete;

    // Takes the keys one by one and unechoed, once the program is in the foreground of its
    // terminal; whether they are taken so.
    bool takeKeys();
    // Waits for one key, servicing the timers meanwhile; nullopt once a quit was requested.
    // Input that has ended reads as Escape: nobody can answer any more.
    std::optional<TerminalKey> readKey();
    // Reads one line, echoed (as "*" when secret); Left, Right, Home and End move the caret,
    // Backspace and Delete remove a character.
    LineEnd readLine(std::string& line, bool secret);

private:
    class RawMode;
    void echo(const std::string& bytes);

    TerminalFiles files_;
    bool attended_;
    InputWaiter& waiter_;
    std::unique_ptr<RawMode> raw_;
    KeyDecoder keys_;
    std::optional<std::chrono::steady_clock::time_point> escapeDeadline_;
    bool inputEnded_ = false;
};

// Writes everything unless the file is gone, when nothing more can be shown there anyway.
void writeAll(int fd, const std::string& bytes);

}  // namespace talvorin::ui
