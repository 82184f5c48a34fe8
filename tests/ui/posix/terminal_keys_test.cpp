// Keys out of the bytes a terminal sends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/posix/terminal_keys.h"

namespace talvorin::ui {
namespace {

using Kind = TerminalKey::Kind;

std::string describe(const TerminalKey& k)
{
    switch (k.kind) {
    case Kind::Char: return std::string("'") + k.ch + "'";
    case Kind::Enter: return "Enter";
    case Kind::Tab: return "Tab";
    case Kind::BackTab: return "BackTab";
    case Kind::Backspace: return "Backspace";
    case Kind::Escape: return "Escape";
    case Kind::Left: return "Left";
    case Kind::Right: return "Right";
    case Kind::Up: return "Up";
    case Kind::Down: return "Down";
    case Kind::Home: return "Home";
    case Kind::End: return "End";
    case Kind::Insert: return "Insert";
    case Kind::Delete: return "Delete";
    case Kind::PageUp: return "PageUp";
    case Kind::PageDown: return "PageDown";
    case Kind::Function: return "F" + std::to_string(k.function);
    case Kind::Other: return "Other";
    }
    return "?";
}

std::vector<std::string> drain(KeyDecoder& d)
{
    std::vector<std::string> out;
    while (auto k = d.next()) out.push_back(describe(*k));
    return out;
}

struct Case {
    const char* name;
    std::string bytes;
    bool quietAfter;  // the reader's time-out passes after the bytes
    std::vector<std::string> keys;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Decoding : public ::testing::TestWithParam<Case> {};

// Each case arrives whole and, again, one byte per read: the keys must be the same.
TEST_P(Decoding, GivesTheKeysWholeOrSplit)
{
    const Case& c = GetParam();
    KeyDecoder whole;
    whole.feed(c.bytes);
    if (c.quietAfter) whole.escapeTimedOut();
    EXPECT_EQ(drain(whole), c.keys);
    EXPECT_FALSE(whole.pending());

    KeyDecoder split;
    std::vector<std::string> got;
    for (char b : c.bytes) {
        split.feed(b);
        for (auto& k : drain(split)) got.push_back(k);
    }
    if (c.quietAfter) split.escapeTimedOut();
    for (auto& k : drain(split)) got.push_back(k);
    EXPECT_EQ(got, c.keys);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Decoding,
    ::testing::Values(
        Case{"Arrows", "\x1b[A\x1b[B\x1b[C\x1b[D", false, {"Up", "Down", "Right", "Left"}},
        Case{"ArrowsInApplicationMode", "\x1bOA\x1bOB\x1bOC\x1bOD", false, {"Up", "Down", "Right", "Left"}},
        Case{"ArrowsWithModifiers", "\x1b[1;5D\x1b[1;2C\x1bO5A", false, {"Left", "Right", "Up"}},
        Case{"HomeAndEndEveryWay",
             "\x1b[H\x1b[F\x1bOH\x1bOF\x1b[1~\x1b[4~\x1b[7~\x1b[8~",
             false,
             {"Home", "End", "Home", "End", "Home", "End", "Home", "End"}},
        Case{"EditingKeys",
             "\x1b[2~\x1b[3~\x1b[3;2~\x1b[5~\x1b[6~",
             false,
             {"Insert", "Delete", "Delete", "PageUp", "PageDown"}},
        Case{"FunctionKeys",
             "\x1bOP\x1bOS\x1b[15~\x1b[17~\x1b[21~\x1b[24~\x1b[34~\x1b[1;2P",
             false,
             {"F1", "F4", "F5", "F6", "F10", "F12", "F20", "F1"}},
        Case{"LinuxConsoleFunctionKeys", "\x1b[[A\x1b[[E", false, {"F1", "F5"}},
        Case{"ShiftTab", "\x1b[Z", false, {"BackTab"}},
        Case{"SequencesAmongCharacters", "1\x1b[D2\x1b[3~3", false, {"'1'", "Left", "'2'", "Delete", "'3'"}},
        Case{"ControlKeys", "\t\r\n\b\x7f\x01", false, {"Tab", "Enter", "Enter", "Backspace", "Backspace", "Other"}},
        Case{"LoneEscapeOnceItIsQuiet", "\x1b", true, {"Escape"}},
        Case{"EscapeBeforeAnotherSequence", "\x1b\x1b[D", false, {"Escape", "Left"}},
        Case{"EscapeBeforeEnter", "\x1b\r", false, {"Escape", "Enter"}},
        Case{"AltWithACharacterIsNoEscape", "\x1bx", false, {"Other"}},
        Case{"CutOffSequenceIsDroppedWhole", "\x1b[1;", true, {"Other"}},
        Case{"UnknownSequenceIsDroppedWhole", "\x1b[200~\x1b[?1;2c\x1b[99~", false, {"Other", "Other", "Other"}},
        Case{"OverlongSequenceIsOneKey", "\x1b[" + std::string(100, '1') + "~a", false, {"Other", "'a'"}},
        Case{"Utf8BytesPassAsCharacters", "\xc3\xa4", false, {"'\xc3'", "'\xa4'"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyDecoder, AnEscapeIsHeldUntilTheNextByteOrTheTimeOut)
{
    KeyDecoder d;
    d.feed('\x1b');
    EXPECT_TRUE(d.pending());
    EXPECT_FALSE(d.next()) << "a lone ESC is not Escape yet: a sequence may follow in the next read";
    d.feed('[');
    EXPECT_FALSE(d.next());
    d.feed('D');
    EXPECT_EQ(d.next(), (TerminalKey{Kind::Left}));
    EXPECT_FALSE(d.pending());
    d.escapeTimedOut();
    EXPECT_FALSE(d.next()) << "a time-out with nothing held gives no key";
}

}  // namespace
}  // namespace talvorin::ui
