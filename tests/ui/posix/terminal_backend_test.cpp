// The terminal front end on a pseudo-terminal of the test's own, and unattended on pipes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "support/posix/vt_terminal.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "support/scoped_env.h"
#include "ui/posix/terminal_backend.h"

namespace talvorin::ui {
namespace {

using namespace std::string_literals;
using talvorin::testing::ScopedEnv;
using talvorin::testing::VtScreen;

class Pty {
public:
    explicit Pty(unsigned short columns)
    {
        winsize size{24, columns, 0, 0};
        if (::openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) throw std::runtime_error("openpty failed");
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~Pty()
    {
        ::close(slave_);
        ::close(master_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    TerminalFiles files() const { return {slave_, slave_, slave_}; }
    void type(const std::string& keys)
    {
        ASSERT_EQ(::write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    void resize(unsigned short columns)
    {
        winsize size{24, columns, 0, 0};
        ::ioctl(master_, TIOCSWINSZ, &size);
    }
    // What the program wrote since the last call, once it holds `until` (at most 5 s).
    std::string output(const std::string& until)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (pending_.find(until) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) pending_.append(buf, static_cast<std::size_t>(n));
        }
        std::string out;
        out.swap(pending_);
        return out;
    }

private:
    int master_ = -1, slave_ = -1;
    std::string pending_;
};

struct LineCase {
    const char* name;
    std::string keys;
    bool secret;
    std::string line;  // what readLine gives
    LineEnd end;
    std::string shown;  // what the screen shows of it
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class LineEditing : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineEditing, KeysEditTheLineAndTheScreenShowsIt)
{
    const LineCase& c = GetParam();
    Pty pty(80);
    const ScopedEnv lineMode("TERM", "dumb");  // the line mode; the windows are tested end to end
    TerminalBackend terminal(pty.files());
    ASSERT_TRUE(terminal.attended());
    pty.type(c.keys);
    std::string line;
    EXPECT_EQ(terminal.input().readLine(line, c.secret), c.end);
    EXPECT_EQ(line, c.line);
    VtScreen screen(80);
    screen.feed(pty.output("\n"));
    ASSERT_FALSE(screen.rows().empty());
    EXPECT_EQ(screen.rows()[0], c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, LineEditing,
    ::testing::Values(LineCase{"LeftThenType",
                               "17\x1b[D"
                               "2\r",
                               false, "127", LineEnd::Enter, "127"},
                      LineCase{"HomeDeleteType", "abc\x1b[H\x1b[3~x\r", false, "xbc", LineEnd::Enter, "xbc"},
                      LineCase{"BackspaceInTheMiddle", "abc\x1b[D\x1b[D\x7f\r", false, "bc", LineEnd::Enter, "bc"},
                      LineCase{"EndGoesBackToTheEnd", "ab\x1bOH\x1bOF c\r", false, "ab c", LineEnd::Enter, "ab c"},
                      LineCase{"RightStopsAtTheEnd",
                               "ab\x1b[D\x1b[C\x1b[C\x1b[C"
                               "c\r",
                               false, "abc", LineEnd::Enter, "abc"},
                      LineCase{"WholeUtf8Characters", "\xc3\xa4x\x1b[D\x1b[D\x1b[3~\r", false, "x", LineEnd::Enter,
                               "x"},
                      LineCase{"SecretEditedAndHidden",
                               "pw\x1b[D"
                               "1\r",
                               true, "p1w", LineEnd::Enter, "***"},
                      LineCase{"KeysWithoutMeaningAreIgnored",
                               "1\x1b[A\x1bOP\x1b[24~\x1b[5~"
                               "2\r",
                               false, "12", LineEnd::Enter, "12"},
                      LineCase{"EditingAnEmptyLine", "\x1b[D\x1b[3~\x7f\x1b[H\r", false, "", LineEnd::Enter, ""},
                      LineCase{"TabEnds", "10\t", false, "10", LineEnd::Tab, "10"},
                      LineCase{"ShiftTabEnds", "10\x1b[Z", false, "10", LineEnd::BackTab, "10"},
                      LineCase{"LoneEscapeCancels", "10\x1b", false, "10", LineEnd::Cancel, "10"}),
    [](const auto& info) { return std::string(info.param.name); });

class MainWindow : public Form {
public:
    explicit MainWindow(Backend& b) : Form(b, "frmCreateDBInfo", "Velmora Deluxe Setup") {}
    Label Label1{*this, "Label1", "Creating databases and tables ......"};
    ProgressBar pgbProcess{*this, "pgbProcess"};
};

TEST(TerminalStatus, FitsTheTerminalAndFollowsItsWidth)
{
    Pty pty(80);
    const ScopedEnv lineMode("TERM", "dumb");  // the line mode; the windows are tested end to end
    TerminalBackend terminal(pty.files());
    MainWindow window(terminal);
    window.show();
    VtScreen screen(80);
    for (int tick = 1; tick <= 20; ++tick) {
        window.pgbProcess.setPosition(tick * 5);
        terminal.processMessages();
    }
    const std::string full = " [" + std::string(20, '#') + "]";
    screen.feed(pty.output(full));
    EXPECT_EQ(screen.wrappedRows(), 0u);
    EXPECT_EQ(screen.rows().size(), 1u) << "every redraw stays on one row";
    EXPECT_EQ(screen.lastRow(), "Creating databases and tables ......" + full);

    // Narrower: the next redraw fits the new width, without any other change.
    pty.resize(40);
    screen.resize(40);
    terminal.processMessages();
    screen.feed(pty.output("Creating databas ["));
    EXPECT_EQ(screen.wrappedRows(), 0u);
    EXPECT_EQ(screen.lastRow(), "Creating databas" + full);
}

TEST(TerminalUnattended, BoxesGoToTheErrorStreamWholeWithTheAnswerTaken)
{
    int out[2], err[2];
    ASSERT_EQ(::pipe(out), 0);
    ASSERT_EQ(::pipe(err), 0);
    const int in = ::open("/dev/null", O_RDONLY);
    {
        TerminalBackend terminal({in, out[1], err[1]});
        ASSERT_FALSE(terminal.attended());
        EXPECT_EQ(terminal.messageBox(Box::information("Wrong Parameters.\n\rCorrect\0format"s)), Answer::Ok);
        EXPECT_EQ(terminal.messageBox(Box::warning("Again?", Buttons::YesNo)), Answer::No);
        Form dialog(terminal, "frmSQLInfo", "SQL Server Information");
        EXPECT_EQ(terminal.showModal(dialog), ModalResult::Cancel);
        std::string line;
        EXPECT_EQ(terminal.input().readLine(line, false), LineEnd::Cancel)
            << "input that cannot come is not waited for";
    }
    ::close(out[1]);
    ::close(err[1]);
    ::close(in);
    const auto drain = [](int fd) {
        std::string text;
        char buf[4096];
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
        ::close(fd);
        return text;
    };
    EXPECT_EQ(drain(err[0]), "[Information] Wrong Parameters.\nCorrect\0format\n"
                             "[Warning] Again?\n"
                             "[Warning] Answer: No (unattended: standard input or output is not a terminal)\n"
                             "[SQL Server Information] Not shown (unattended: standard input or output is not a "
                             "terminal); it ends as Cancel\n"s);
    EXPECT_EQ(drain(out[0]), "");
}

}  // namespace
}  // namespace talvorin::ui
