#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/posix/vt_terminal.h"

namespace talvorin::testing {

// The built program on a pseudo-terminal of its own, as a person at a terminal runs it: its
// controlling terminal, so Ctrl+C typed there reaches it as SIGINT. What it writes is read
// all the time (so it never blocks on a full terminal) into a screen of the terminal's size.
class TerminalRun {
public:
    TerminalRun(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                unsigned short columns, unsigned short rows = 24);
    ~TerminalRun();  // a program still running is killed
    TerminalRun(const TerminalRun&) = delete;
    TerminalRun& operator=(const TerminalRun&) = delete;

    void type(const std::string& keys);
    // The terminal gets a new size (the program is sent SIGWINCH by the terminal).
    void resize(unsigned short columns, unsigned short rows);
    // Reads the output until the condition holds, at most the time-out; whether it held.
    bool waitUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // The same for a text on the screen.
    bool waitForText(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Reads the output until the program has ended, at most the time-out; its exit code, or
    // -1 when it had to be killed.
    int waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(30));

    const VtScreen& screen() const { return screen_; }
    // The terminal alone, for a program that places the cursor.
    const VtTerminal& terminal() const { return screen_.terminal(); }
    // Everything written so far, as written.
    const std::string& output() const { return output_; }

private:
    // Whether anything came within the wait.
    bool readAvailable(int waitMs);

    int master_ = -1;
    int pid_ = -1;
    bool ended_ = false;
    int exitCode_ = -1;
    VtScreen screen_;
    std::string output_;
};

}  // namespace talvorin::testing
