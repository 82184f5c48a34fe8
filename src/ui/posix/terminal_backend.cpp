#include "ui/posix/terminal_backend.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/posix/quit_signal.h"
#include "platform/wait.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/posix/curses_screen.h"
#include "ui/posix/resize_signal.h"
#include "ui/posix/text_windows.h"

namespace talvorin::ui {
namespace {

using Kind = TerminalKey::Kind;

constexpr std::size_t kDefaultColumns = 80;

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

// Writes everything unless the file is gone, when nothing more can be shown there anyway.
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

std::string cursorLeft(std::size_t columns)
{
    return columns == 0 ? std::string() : "\x1b[" + std::to_string(columns) + "D";
}

}  // namespace

// Keys arrive one by one and unechoed for the whole life of the front end, so nothing typed
// is echoed by the terminal behind the program's back (typing ahead of a prompt, a paste, an
// escape sequence). Signals stay on: Ctrl+C still asks the program to quit.
class TerminalBackend::RawMode {
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

// A program started in the background of its controlling terminal leaves the terminal's
// mode alone (changing it would stop the program) until it is brought to the foreground and
// reads a key. A terminal that is not the controlling one has no foreground to wait for.
void TerminalBackend::takeKeys()
{
    if (!attended_ || raw_) return;
    const pid_t foreground = ::tcgetpgrp(files_.in);
    if (foreground == -1 || foreground == ::getpgrp()) raw_ = std::make_unique<RawMode>(files_.in);
}

TerminalBackend::TerminalBackend(TerminalFiles files)
    : files_(files), attended_(::isatty(files.in) && ::isatty(files.out)), start_(std::chrono::steady_clock::now())
{
    platform::QuitSignal::instance();  // installs the handlers
    takeKeys();
    startWindows();
}

TerminalBackend::~TerminalBackend()
{
    windows_.reset();
    endStatusLine();
}

// Text-mode windows need a terminal whose type is known and can place the cursor, room for
// the windows, and the keys (a program in the background keeps to the line mode).
void TerminalBackend::startWindows()
{
    if (!attended_ || !raw_) return;
    const char* type = std::getenv("TERM");
    if (type == nullptr || *type == '\0' || std::string(type) == "dumb") return;
    winsize size{};
    if (::ioctl(files_.out, TIOCGWINSZ, &size) != 0 || size.ws_col < TextWindows::kMinColumns ||
        size.ws_row < TextWindows::kMinRows)
        return;
    ResizeSignal::instance();  // before ncurses, which then leaves SIGWINCH alone
    if (auto screen = CursesScreen::open(files_.in, files_.out))
        windows_ = std::make_unique<TextWindows>(*this, std::move(screen));
}

platform::WaitHandle TerminalBackend::resizeWake() const
{
    return windows_ ? ResizeSignal::instance().handle() : platform::kNoWaitHandle;
}

void TerminalBackend::repaint()
{
    if (windows_) {
        ResizeSignal::instance().take();
        windows_->refresh();
    }
}

void TerminalBackend::setCursor(Cursor cursor)
{
    if (windows_) windows_->setCursor(cursor);
}

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

// Unattended, the output is no terminal and gets nothing: whatever a person should know
// goes to the error stream.
void TerminalBackend::put(const std::string& bytes)
{
    if (attended_) writeAll(files_.out, bytes);
}

void TerminalBackend::write(const std::string& text)
{
    endStatusLine();
    put(text);
}

std::size_t TerminalBackend::columns() const
{
    winsize size{};
    if (::ioctl(files_.out, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    if (const char* env = std::getenv("COLUMNS")) {
        const long n = std::strtol(env, nullptr, 10);
        if (n > 0 && n < 10000) return static_cast<std::size_t>(n);
    }
    return kDefaultColumns;
}

void TerminalBackend::processMessages()
{
    fireDueTimers();
    if (windows_)
        repaint();
    else
        drawStatus();
}

void TerminalBackend::waitFor(platform::WaitHandle handle)
{
    if (quitRequested()) return;
    platform::waitForAny({handle, platform::QuitSignal::instance().handle(), resizeWake()}, msUntilNextTimer());
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
        platform::waitForAny({platform::QuitSignal::instance().handle(), resizeWake()}, timeout);
        processMessages();
    }
}

std::optional<TerminalKey> TerminalBackend::readKey()
{
    using Clock = std::chrono::steady_clock;
    takeKeys();
    for (;;) {
        if (auto key = keys_.next()) return key;
        if (inputEnded_) return TerminalKey{Kind::Escape};
        if (quitRequested()) return std::nullopt;

        int timeout = msUntilNextTimer();
        if (keys_.pending()) {
            if (!escapeDeadline_) escapeDeadline_ = Clock::now() + std::chrono::milliseconds(KeyDecoder::kEscapeTimeoutMs);
            const auto rest = std::chrono::ceil<std::chrono::milliseconds>(*escapeDeadline_ - Clock::now()).count();
            if (rest <= 0) {
                escapeDeadline_.reset();
                keys_.escapeTimedOut();
                continue;
            }
            timeout = timeout < 0 ? static_cast<int>(rest) : std::min(timeout, static_cast<int>(rest));
        }
        const int which =
            platform::waitForAny({files_.in, platform::QuitSignal::instance().handle(), resizeWake()}, timeout);
        fireDueTimers();
        repaint();
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

LineEnd TerminalBackend::readLine(std::string& line, bool secret)
{
    line.clear();
    std::size_t caret = 0;    // a byte offset, always at a character's start
    std::string partial;      // the first bytes of a UTF-8 character still being typed
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
        case Kind::Enter: put("\n"); return LineEnd::Enter;
        case Kind::Tab: put("\n"); return LineEnd::Tab;
        case Kind::BackTab: put("\n"); return LineEnd::BackTab;
        case Kind::Escape: put("\n"); return LineEnd::Cancel;
        case Kind::Char: {
            partial += key->ch;
            if (utf8Lead(partial[0]) && partial.size() < utf8Length(partial[0])) break;
            const std::string tail = line.substr(caret);
            line.insert(caret, partial);
            caret += partial.size();
            put(shown(partial) + shown(tail) + cursorLeft(columnsOf(tail)));
            partial.clear();
            break;
        }
        case Kind::Backspace:
            if (caret > 0) {
                const std::size_t n = charBefore(caret);
                line.erase(caret - n, n);
                caret -= n;
                const std::string tail = line.substr(caret);
                put("\b" + shown(tail) + " " + cursorLeft(columnsOf(tail) + 1));
            }
            break;
        case Kind::Delete:
            if (caret < line.size()) {
                line.erase(caret, charAt(caret));
                const std::string tail = line.substr(caret);
                put(shown(tail) + " " + cursorLeft(columnsOf(tail) + 1));
            }
            break;
        case Kind::Left:
            if (caret > 0) {
                caret -= charBefore(caret);
                put("\b");
            }
            break;
        case Kind::Right:
            if (caret < line.size()) {
                const std::size_t n = charAt(caret);
                put(shown(line.substr(caret, n)));
                caret += n;
            }
            break;
        case Kind::Home:
            put(cursorLeft(columnsOf(line.substr(0, caret))));
            caret = 0;
            break;
        case Kind::End:
            put(shown(line.substr(caret)));
            caret = line.size();
            break;
        default: break;  // no meaning on a line
        }
    }
}

Answer TerminalBackend::messageBox(const Box& box)
{
    const Answer escape = escapeAnswer(box.buttons);
    if (!attended_) {
        writeAll(files_.err, unattendedBox(box, escape));
        return escape;
    }
    if (windows_) return windows_->messageBox(box);
    const bool yesNo = box.buttons == Buttons::YesNo;
    write("\n[" + box.caption + "]\n" + terminalText(box.text) + "\n" +
          (yesNo ? "(Y)es / (N)o, Enter = Yes, Esc = No: " : "Press Enter: "));
    Answer answer = escape;
    for (;;) {
        const auto key = readKey();
        if (!key || key->kind == Kind::Escape) break;
        if (key->kind == Kind::Enter) {
            answer = yesNo ? Answer::Yes : Answer::Ok;
            break;
        }
        if (yesNo && key->kind == Kind::Char && (key->ch == 'y' || key->ch == 'Y')) {
            answer = Answer::Yes;
            break;
        }
        if (yesNo && key->kind == Kind::Char && (key->ch == 'n' || key->ch == 'N')) break;
    }
    put(std::string(answer == Answer::Yes ? "Yes" : answer == Answer::No ? "No" : "OK") + "\n");
    statusDirty_ = true;
    return answer;
}

std::optional<std::string> TerminalBackend::browseForFolder(const std::string& title)
{
    if (!attended_) return std::nullopt;
    if (windows_) return windows_->browseForFolder(title);
    write(title + "\nFolder (Esc cancels): ");
    std::string line;
    if (readLine(line, false) == LineEnd::Cancel) return std::nullopt;
    return line;
}

ModalResult TerminalBackend::showModal(Form& form)
{
    if (!attended_) {
        writeAll(files_.err, unattendedDialog(form.caption()));
        return ModalResult::Cancel;
    }
    if (windows_) return windows_->showModal(form);
    if (presenter_ == nullptr) return ModalResult::Cancel;
    endStatusLine();
    const Form* outer = modalForm_;
    modalForm_ = &form;
    ++modalDepth_;
    const ModalResult result = presenter_->present(*this, form);
    // The dialog's last status stays on the screen above what comes next.
    drawStatus();
    endStatusLine();
    --modalDepth_;
    modalForm_ = outer;
    statusDirty_ = true;
    return result;
}

void TerminalBackend::formShown(const Form& form)
{
    if (mainForm_ == nullptr) {
        mainForm_ = &form;
        if (windows_) windows_->mainWindowShown(form);
    }
    statusDirty_ = true;
    if (windows_) windows_->changed();
}

void TerminalBackend::formClosed(const Form& form)
{
    if (&form == mainForm_ && windows_) {
        // The run is over: the terminal is given back, and what follows is plain lines.
        windows_.reset();
        mainForm_ = nullptr;
        return;
    }
    if (&form == mainForm_) {
        drawStatus();
        endStatusLine();
        mainForm_ = nullptr;
    }
}

void TerminalBackend::formDestroyed(const Form& form)
{
    if (windows_) windows_->formGone(form);
    if (&form == mainForm_) mainForm_ = nullptr;
}

void TerminalBackend::focusChanged(const Form&, const Control* control)
{
    if (windows_) windows_->focusArrived(control);
}

void TerminalBackend::controlChanged(const Control& control, Change)
{
    if (windows_) windows_->changed();
    const Form& owner = control.owner();
    if (&owner == mainForm_ || (modalDepth_ > 0 && &owner == modalForm_)) statusDirty_ = true;
}

void TerminalBackend::drawStatus()
{
    if (!attended_) return;
    std::optional<StatusParts> parts;
    if (modalDepth_ > 0) {
        if (presenter_ != nullptr && modalForm_ != nullptr) parts = presenter_->status(*modalForm_);
    } else if (mainForm_ != nullptr) {
        StatusParts main{mainForm_->caption(), {}, nullptr};
        bool haveLabel = false;
        for (const Control* c : mainForm_->controls()) {
            if (auto* l = dynamic_cast<const Label*>(c); l && !haveLabel) {
                main.text = l->caption();
                haveLabel = true;
            }
            if (auto* p = dynamic_cast<const ProgressBar*>(c); p && !main.bar) main.bar = p;
        }
        parts = main;
    }
    if (!parts) return;
    // A resize redraws the line at the new width, even when nothing else changed.
    const std::size_t width = columns();
    if (!statusDirty_ && !(statusShown_ && width != statusWidth_)) return;
    statusDirty_ = false;
    statusWidth_ = width;
    put("\r\x1b[K" + statusLine(*parts, width));
    statusShown_ = true;
}

void TerminalBackend::endStatusLine()
{
    if (!statusShown_) return;
    put("\n");
    statusShown_ = false;
    statusDirty_ = true;
}

void TerminalBackend::showOutcome(const std::string& closingLine, const std::string& logFile)
{
    if (!attended_) return;
    std::string text;
    if (!closingLine.empty()) text += closingLine + "\n";
    if (!logFile.empty()) text += "Setup log: " + logFile + "\n";
    write(text);
}

}  // namespace talvorin::ui
