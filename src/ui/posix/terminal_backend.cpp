#include "ui/posix/terminal_backend.h"

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/posix/quit_signal.h"
#include "platform/wait.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace talvorin::ui {
namespace {

// Keys arrive one by one, unechoed, while this lives.
class RawMode {
public:
    RawMode()
    {
        if (::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
        termios raw = saved_;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~RawMode()
    {
        if (active_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

private:
    termios saved_{};
    bool active_ = false;
};

// Message texts use CR, LF and LF CR as line breaks; a terminal wants LF.
std::string terminalText(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            const char next = i + 1 < text.size() ? text[i + 1] : '\0';
            if ((next == '\r' || next == '\n') && next != c) ++i;
            out += '\n';
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

TerminalBackend::TerminalBackend()
    : attended_(::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO)), start_(std::chrono::steady_clock::now())
{
    platform::QuitSignal::instance();  // installs the handlers
}

TerminalBackend::~TerminalBackend() { endStatusLine(); }

std::chrono::milliseconds TerminalBackend::now() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
}

bool TerminalBackend::quitRequested() const { return platform::QuitSignal::instance().requested(); }

int TerminalBackend::msUntilNextTimer() const
{
    const auto next = nextDue();
    if (!next) return -1;
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, (*next - now()).count()));
}

void TerminalBackend::processMessages()
{
    fireDueTimers();
    drawStatus();
}

void TerminalBackend::waitFor(platform::WaitHandle handle)
{
    if (quitRequested()) return;
    platform::waitForAny({handle, platform::QuitSignal::instance().handle()}, msUntilNextTimer());
    processMessages();
}

void TerminalBackend::run(Form& mainForm)
{
    while (!mainForm.isClosed()) {
        if (quitRequested()) {
            mainForm.close();
            break;
        }
        const int timeout = msUntilNextTimer();
        if (timeout < 0) {
            // No timer left and nothing else can close the window: waiting would hang.
            mainForm.close();
            break;
        }
        platform::waitForAny({platform::QuitSignal::instance().handle()}, timeout);
        processMessages();
    }
}

char TerminalBackend::readKey()
{
    RawMode raw;
    for (;;) {
        if (quitRequested()) return '\0';
        const int which =
            platform::waitForAny({STDIN_FILENO, platform::QuitSignal::instance().handle()}, msUntilNextTimer());
        fireDueTimers();
        if (which != 0) continue;
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n == 1) return c;
        if (n == 0) return '\x1b';  // input closed: nobody can answer any more
    }
}

bool TerminalBackend::readLine(std::string& line, bool secret)
{
    line.clear();
    for (;;) {
        const char c = readKey();
        if (c == '\0' || c == '\x1b') {
            std::fputc('\n', stdout);
            return false;
        }
        if (c == '\r' || c == '\n') {
            std::fputc('\n', stdout);
            return true;
        }
        if (c == '\b' || c == 127) {
            if (!line.empty()) {
                line.pop_back();
                std::fputs("\b \b", stdout);
            }
        } else if (static_cast<unsigned char>(c) >= 32) {
            line += c;
            std::fputc(secret ? '*' : c, stdout);
        }
        std::fflush(stdout);
    }
}

Answer TerminalBackend::messageBox(const Box& box)
{
    const Answer escape = escapeAnswer(box.buttons);
    if (!attended_) {
        std::fprintf(stderr, "[%s] %s\n", box.caption.c_str(), terminalText(box.text).c_str());
        std::fflush(stderr);
        return escape;
    }
    endStatusLine();
    std::printf("\n[%s]\n%s\n", box.caption.c_str(), terminalText(box.text).c_str());
    std::fputs(box.buttons == Buttons::YesNo ? "(Y)es / (N)o, Enter = Yes, Esc = No: " : "Press Enter: ", stdout);
    std::fflush(stdout);
    Answer answer = escape;
    for (;;) {
        const char c = readKey();
        if (c == '\0' || c == '\x1b') break;
        if (c == '\r' || c == '\n') {
            answer = box.buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
            break;
        }
        if (box.buttons == Buttons::YesNo && (c == 'y' || c == 'Y')) {
            answer = Answer::Yes;
            break;
        }
        if (box.buttons == Buttons::YesNo && (c == 'n' || c == 'N')) break;
    }
    std::printf("%s\n", answer == Answer::Yes ? "Yes" : answer == Answer::No ? "No" : "OK");
    statusDirty_ = true;
    return answer;
}

std::optional<std::string> TerminalBackend::browseForFolder(const std::string& title)
{
    if (!attended_) return std::nullopt;
    endStatusLine();
    std::printf("%s\nFolder (Esc cancels): ", title.c_str());
    std::fflush(stdout);
    std::string line;
    if (!readLine(line, false)) return std::nullopt;
    return line;
}

ModalResult TerminalBackend::showModal(Form& form)
{
    if (!attended_ || presenter_ == nullptr) return ModalResult::Cancel;
    endStatusLine();
    ++modalDepth_;
    const ModalResult result = presenter_->present(*this, form);
    --modalDepth_;
    statusDirty_ = true;
    return result;
}

void TerminalBackend::formShown(const Form& form)
{
    if (mainForm_ == nullptr) mainForm_ = &form;
    statusDirty_ = true;
}

void TerminalBackend::formClosed(const Form& form)
{
    if (&form == mainForm_) {
        drawStatus();
        endStatusLine();
        mainForm_ = nullptr;
    }
}

void TerminalBackend::controlChanged(const Control& control, Change)
{
    if (&control.owner() == mainForm_) statusDirty_ = true;
}

void TerminalBackend::drawStatus()
{
    if (!attended_ || mainForm_ == nullptr || !statusDirty_ || modalDepth_ > 0) return;
    statusDirty_ = false;
    std::string label;
    const ProgressBar* bar = nullptr;
    for (const Control* c : mainForm_->controls()) {
        if (auto* l = dynamic_cast<const Label*>(c); l && label.empty()) label = l->caption();
        if (auto* p = dynamic_cast<const ProgressBar*>(c); p && !bar) bar = p;
    }
    std::string line = mainForm_->caption() + " | " + label;
    if (bar != nullptr) {
        constexpr int kCells = 20;
        const int span = std::max(1, bar->max() - bar->min());
        const int filled = (bar->position() - bar->min()) * kCells / span;
        line += " [" + std::string(static_cast<std::size_t>(filled), '#') +
                std::string(static_cast<std::size_t>(kCells - filled), ' ') + "]";
    }
    std::printf("\r\x1b[K%s", line.c_str());
    std::fflush(stdout);
    statusShown_ = true;
}

void TerminalBackend::endStatusLine()
{
    if (!statusShown_) return;
    std::fputc('\n', stdout);
    std::fflush(stdout);
    statusShown_ = false;
    statusDirty_ = true;
}

}  // namespace talvorin::ui
