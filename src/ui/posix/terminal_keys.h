#pragma once

#include <deque>
#include <optional>
#include <string>

namespace talvorin::ui {

// One key as a terminal sends it: a character, or a named key that arrives as a control
// character or an escape sequence.
struct TerminalKey {
    enum class Kind {
        Char,  // ch holds the byte (a UTF-8 character may take several)
        Enter,
        Tab,
        BackTab,  // Shift+Tab
        Backspace,
        Escape,
        Left,
        Right,
        Up,
        Down,
        Home,
        End,
        Insert,
        Delete,
        PageUp,
        PageDown,
        Function,  // function holds 1 to 20
        Other,     // a control character or a sequence with no meaning here
    };
    Kind kind = Kind::Other;
    char ch = 0;
    int function = 0;

    bool operator==(const TerminalKey&) const = default;
};

// Turns the bytes read from a terminal into keys. A lone ESC is the Escape key, but ESC also
// starts the sequences of arrows, Home, End, Delete and the function keys, which may arrive
// split over several reads; so an ESC stays pending until the next byte tells, or until the
// reader calls escapeTimedOut() after a short quiet time. A sequence cut off that way, or one
// that is not understood, is dropped whole: it never becomes Escape or typed characters.
class KeyDecoder {
public:
    // How long the reader waits for the rest of a sequence before calling escapeTimedOut().
    static constexpr int kEscapeTimeoutMs = 100;

    void feed(char byte);
    void feed(const std::string& bytes)
    {
        for (char b : bytes) feed(b);
    }
    // No byte came within the time-out: a pending ESC alone is Escape; a started sequence is
    // dropped.
    void escapeTimedOut();
    // Whether bytes of an unfinished sequence are held.
    bool pending() const { return state_ != State::Ground; }
    // The next complete key, oldest first.
    std::optional<TerminalKey> next();

private:
    enum class State { Ground, Escape, Csi, Ss3 };
    void emit(TerminalKey::Kind kind, int function = 0) { keys_.push_back({kind, 0, function}); }
    void ground(char byte);
    void finishCsi(char final);

    State state_ = State::Ground;
    std::string params_;  // a CSI sequence's bytes between "ESC [" and its final byte
    std::deque<TerminalKey> keys_;
};

}  // namespace talvorin::ui
