#include "ui/posix/curses_screen.h"

#include <curses.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>

#include "ui/posix/terminal_text.h"

namespace talvorin::ui {
namespace {

enum Pair : short { kScreen = 1, kWindow, kField, kLink };

}  // namespace

std::unique_ptr<CursesScreen> CursesScreen::open(int in, int out)
{
    const char* type = std::getenv("TERM");
    if (type == nullptr || *type == '\0') return nullptr;
    // Texts are UTF-8; the terminal's character set comes from the locale.
    std::setlocale(LC_CTYPE, "");
    std::unique_ptr<CursesScreen> s(new CursesScreen);
    const int outFd = ::dup(out), inFd = ::dup(in);
    s->out_ = outFd < 0 ? nullptr : ::fdopen(outFd, "w");
    s->in_ = inFd < 0 ? nullptr : ::fdopen(inFd, "r");
    if (s->out_ == nullptr || s->in_ == nullptr) {
        if (s->out_ == nullptr && outFd >= 0) ::close(outFd);
        if (s->in_ == nullptr && inFd >= 0) ::close(inFd);
        return nullptr;
    }
    s->screen_ = newterm(type, s->out_, s->in_);
    if (s->screen_ == nullptr) return nullptr;
    // Windows need the cursor moved anywhere and lines drawn over what is there.
    const char* cup = tigetstr(const_cast<char*>("cup"));
    if (cup == nullptr || cup == reinterpret_cast<char*>(-1) || tigetflag(const_cast<char*>("hc")) > 0) return nullptr;
    cbreak();  // Ctrl+C still sends SIGINT
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    typeahead(-1);  // ncurses never looks at the keys; the front end reads them
    curs_set(0);
    if (has_colors() && start_color() == OK && COLORS >= 8 && COLOR_PAIRS > kLink) {
        s->colours_ = true;
        init_pair(kScreen, COLOR_WHITE, COLOR_BLUE);
        init_pair(kWindow, COLOR_BLACK, COLOR_WHITE);
        init_pair(kField, COLOR_BLACK, COLOR_CYAN);
        init_pair(kLink, COLOR_BLUE, COLOR_WHITE);
    }
    return s;
}

CursesScreen::~CursesScreen()
{
    if (screen_ != nullptr) {
        curs_set(1);
        endwin();
        delscreen(screen_);
    }
    if (out_ != nullptr) std::fclose(out_);
    if (in_ != nullptr) std::fclose(in_);
}

int CursesScreen::rows() const { return LINES; }
int CursesScreen::columns() const { return COLS; }

bool CursesScreen::followTerminalSize()
{
    winsize size{};
    if (::ioctl(::fileno(out_), TIOCGWINSZ, &size) != 0) return false;
    const int rows = size.ws_row, columns = size.ws_col;
    if (rows <= 0 || columns <= 0 || (rows == LINES && columns == COLS)) return false;
    resizeterm(rows, columns);
    // Everything is drawn anew: what the terminal did with the old picture is unknown.
    clearok(curscr, TRUE);
    return true;
}

int CursesScreen::attributes(Style style) const
{
    if (!colours_) {
        switch (style) {
        case Style::Field: return A_UNDERLINE;
        case Style::Focus: return A_REVERSE;
        case Style::Selected: return A_REVERSE | A_BOLD;
        case Style::Link: return A_UNDERLINE;
        case Style::Disabled:
        case Style::LockedField: return A_DIM;
        case Style::Help:
        case Style::Title: return A_BOLD;
        default: return A_NORMAL;
        }
    }
    switch (style) {
    case Style::Screen: return COLOR_PAIR(kScreen);
    case Style::Window: return COLOR_PAIR(kWindow);
    // In the window's colour, as a locked field is on Windows, with a line to show where it is.
    case Style::LockedField: return COLOR_PAIR(kWindow) | A_UNDERLINE;
    case Style::Title: return COLOR_PAIR(kWindow) | A_BOLD;
    case Style::Field: return COLOR_PAIR(kField);
    case Style::Focus: return COLOR_PAIR(kField) | A_REVERSE;
    case Style::Selected: return COLOR_PAIR(kField) | A_REVERSE | A_BOLD;
    case Style::Link: return COLOR_PAIR(kLink) | A_UNDERLINE;
    case Style::Disabled: return COLOR_PAIR(kWindow) | A_DIM;
    case Style::Help: return COLOR_PAIR(kLink) | A_BOLD;
    case Style::Default: return A_NORMAL;
    }
    return A_NORMAL;
}

void CursesScreen::clear()
{
    bkgdset(static_cast<chtype>(attributes(Style::Screen)) | ' ');
    erase();
    cursorShown_ = false;
}

void CursesScreen::fill(int row, int col, int width, Style style, char c)
{
    if (row < 0 || row >= LINES) return;
    attrset(attributes(style));
    for (int i = std::max(0, col); i < col + width && i < COLS; ++i) mvaddch(row, i, static_cast<chtype>(c));
}

void CursesScreen::text(int row, int col, const std::string& text, Style style, int width)
{
    if (row < 0 || row >= LINES || col < 0 || col >= COLS) return;
    std::size_t room = static_cast<std::size_t>(COLS - col);
    if (width > 0) room = std::min(room, static_cast<std::size_t>(width));
    const std::string shown = clipToColumns(text, room);
    attrset(attributes(style));
    mvaddstr(row, col, shown.c_str());
}

void CursesScreen::frame(const CellRect& a, const std::string& caption, Style style)
{
    if (a.width < 2 || a.height < 2) return;
    attrset(attributes(style));
    const int right = a.col + a.width - 1, bottom = a.row + a.height - 1;
    mvhline(a.row, a.col + 1, ACS_HLINE, a.width - 2);
    mvhline(bottom, a.col + 1, ACS_HLINE, a.width - 2);
    mvvline(a.row + 1, a.col, ACS_VLINE, a.height - 2);
    mvvline(a.row + 1, right, ACS_VLINE, a.height - 2);
    mvaddch(a.row, a.col, ACS_ULCORNER);
    mvaddch(a.row, right, ACS_URCORNER);
    mvaddch(bottom, a.col, ACS_LLCORNER);
    mvaddch(bottom, right, ACS_LRCORNER);
    if (!caption.empty() && a.width > 4)
        text(a.row, a.col + 1, " " + caption + " ", style == Style::Window ? Style::Title : style, a.width - 2);
}

void CursesScreen::window(const CellRect& area, const std::string& caption)
{
    for (int r = 0; r < area.height; ++r) fill(area.row + r, area.col, area.width, Style::Window);
    frame(area, caption, Style::Window);
}

void CursesScreen::placeCursor(int row, int col)
{
    cursorShown_ = true;
    cursorRow_ = row;
    cursorCol_ = col;
}

void CursesScreen::hideCursor() { cursorShown_ = false; }

void CursesScreen::show()
{
    if (cursorShown_ && cursorRow_ >= 0 && cursorRow_ < LINES && cursorCol_ >= 0 && cursorCol_ < COLS) {
        move(cursorRow_, cursorCol_);
        curs_set(1);
    } else {
        curs_set(0);
    }
    refresh();
}

}  // namespace talvorin::ui
