#include "ui/posix/terminal_keys.h"

namespace talvorin::ui {
namespace {

using Kind = TerminalKey::Kind;

constexpr char kEsc = '\x1b';
// Longer than any key's sequence; a run of parameter bytes beyond it is no key.
constexpr std::size_t kMaxSequence = 32;

bool printable(char c) { return c >= 0x20 && c <= 0x7e; }

// The first number of a sequence's parameters ("3" of "3;5"); 0 when there is none.
int firstParameter(const std::string& params)
{
    int value = 0;
    for (char c : params) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > 1000) break;
    }
    return value;
}

// "ESC [ n ~" as xterm, the Linux console and VT220 send them.
TerminalKey tildeKey(int n)
{
    switch (n) {
    case 1:
    case 7: return {Kind::Home};
    case 2: return {Kind::Insert};
    case 3: return {Kind::Delete};
    case 4:
    case 8: return {Kind::End};
    case 5: return {Kind::PageUp};
    case 6: return {Kind::PageDown};
    default: break;
    }
    // F1 to F20 leave gaps in their numbers: 11-15, 17-21, 23-26, 28-29, 31-34.
    static constexpr int kFunctionCodes[] = {11, 12, 13, 14, 15, 17, 18, 19, 20, 21,
                                             23, 24, 25, 26, 28, 29, 31, 32, 33, 34};
    for (int i = 0; i < 20; ++i)
        if (kFunctionCodes[i] == n) return {Kind::Function, 0, i + 1};
    return {Kind::Other};
}

// The final letter of "ESC [ ... x" or "ESC O x".
TerminalKey letterKey(char final)
{
    switch (final) {
    case 'A': return {Kind::Up};
    case 'B': return {Kind::Down};
    case 'C': return {Kind::Right};
    case 'D': return {Kind::Left};
    case 'H': return {Kind::Home};
    case 'F': return {Kind::End};
    case 'Z': return {Kind::BackTab};
    case 'M': return {Kind::Enter};  // the keypad's Enter in application mode
    case 'P':
    case 'Q':
    case 'R':
    case 'S': return {Kind::Function, 0, final - 'P' + 1};
    default: return {Kind::Other};
    }
}

}  // namespace

void KeyDecoder::ground(char byte)
{
    switch (byte) {
    case '\r':
    case '\n': emit(Kind::Enter); return;
    case '\t': emit(Kind::Tab); return;
    case '\b':
    case '\x7f': emit(Kind::Backspace); return;
    case kEsc: state_ = State::Escape; return;
    default: break;
    }
    if (static_cast<unsigned char>(byte) < 0x20)
        keys_.push_back({Kind::Other, byte});
    else
        keys_.push_back({Kind::Char, byte});
}

void KeyDecoder::finishCsi(char final)
{
    state_ = State::Ground;
    if (params_ == "[") {
        // The Linux console's F1 to F5: "ESC [ [ A" to "ESC [ [ E".
        keys_.push_back(final >= 'A' && final <= 'E' ? TerminalKey{Kind::Function, 0, final - 'A' + 1}
                                                     : TerminalKey{Kind::Other});
    } else if (final == '~') {
        keys_.push_back(tildeKey(firstParameter(params_)));
    } else {
        keys_.push_back(letterKey(final));
    }
    params_.clear();
}

void KeyDecoder::feed(char byte)
{
    switch (state_) {
    case State::Ground: ground(byte); return;
    case State::Escape:
        if (byte == '[') {
            state_ = State::Csi;
            params_.clear();
        } else if (byte == 'O') {
            state_ = State::Ss3;
        } else if (byte == kEsc) {
            emit(Kind::Escape);  // the first was a key of its own; the second starts anew
        } else if (printable(byte)) {
            // Alt with a character: nothing here answers to it.
            state_ = State::Ground;
            emit(Kind::Other);
        } else {
            state_ = State::Ground;
            emit(Kind::Escape);
            ground(byte);
        }
        return;
    case State::Csi:
        if (byte == '[' && params_.empty()) {
            params_.assign(1, '[');
        } else if (params_ == "[" || (byte >= 0x40 && byte <= 0x7e)) {
            finishCsi(byte);
        } else if (byte >= 0x20 && byte <= 0x3f) {
            if (params_.size() < kMaxSequence) params_ += byte;
        } else {
            // Not part of a sequence: the sequence so far is dropped, the byte counts.
            state_ = State::Ground;
            params_.clear();
            emit(Kind::Other);
            ground(byte);
        }
        return;
    case State::Ss3:
        if (byte >= '0' && byte <= '9') return;  // an old form of modifiers: "ESC O 5 A"
        state_ = State::Ground;
        if (printable(byte)) {
            keys_.push_back(letterKey(byte));
        } else {
            emit(Kind::Other);
            ground(byte);
        }
        return;
    }
}

void KeyDecoder::escapeTimedOut()
{
    if (state_ == State::Escape)
        emit(Kind::Escape);
    else if (state_ != State::Ground)
        emit(Kind::Other);
    state_ = State::Ground;
    params_.clear();
}

std::optional<TerminalKey> KeyDecoder::next()
{
    if (keys_.empty()) return std::nullopt;
    const TerminalKey key = keys_.front();
    keys_.pop_front();
    return key;
}

}  // namespace talvorin::ui
